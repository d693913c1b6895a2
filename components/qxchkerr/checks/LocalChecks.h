#pragma once
#include "checks/CheckFinding.h"
#include <string>

#include "config/DownloadFiles.h"

// The download folder: created the way the installer creates it, then a file written into it
// and removed again. A partial or finished download already there must be writable too, or the
// installer could neither continue nor replace it.
// `folder` ends in "\\" (empty when unknown); `files` are empty when the file name is unknown.
CheckFinding CheckDownloadFolder(const std::wstring& folder, const DownloadFiles& files);

// The disk that holds the download folder (or its nearest existing parent) must have room for
// the package. A partial download already there counts as room: it is either continued or
// deleted before the package is fetched again. Skipped with SizeUnknown when nPackageSize < 0.
CheckFinding CheckDiskRoom(const std::wstring& folder, const DownloadFiles& files, long long nPackageSize);
