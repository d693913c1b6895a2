#pragma once
#include "checks/CheckFinding.h"
#include <string>

#include "config/DownloadFiles.h"
#include "download/LibraryPath.h"

// The download folder: created the way the installer creates it, then a file written into it
// and removed again. A partial or finished download already there must be writable too, or the
// installer could neither continue nor replace it.
// `folder` ends in "\\" (empty when unknown); `files` are empty when the file name is unknown.
CheckFinding CheckDownloadFolder(const std::wstring& folder, const DownloadFiles& files);

// Whether the FTP library beside the checker (QXFtp.dll) has the download entry that takes a
// UTF-16 local path; false when it lacks it or cannot be loaded.
bool FtpLibraryTakesWidePaths();

// An FTP download writes into the existing `folder` through the library: with a UTF-16 path when
// `wideEntry`, else through the path's ANSI form or the folder's short (8.3) form. Fails with
// FtpFolderUnreachable when none of them can name the file.
CheckFinding CheckFtpFolderReach(const std::wstring& folder, const std::wstring& fileName, bool wideEntry,
                                 std::wstring (*shortPath)(const std::wstring&) = SystemShortPath);

// The disk that holds the download folder (or its nearest existing parent) must have room for
// the package. A partial download already there counts as room: it is either continued or
// deleted before the package is fetched again. Skipped with SizeUnknown when nPackageSize < 0.
CheckFinding CheckDiskRoom(const std::wstring& folder, const DownloadFiles& files, long long nPackageSize);
