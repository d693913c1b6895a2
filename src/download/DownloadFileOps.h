#pragma once
#include <windows.h>

#include <string>

#include "config/DownloadFiles.h"

// What the download workers do with a download's files.

// Replaces the target with the finished partial file. True when the target now is that file.
// While another program holds either file, tries again for about 10 s.
bool MovePartialToTarget(const DownloadFiles& files);

// Deletes a file; true when it is gone afterwards (also when it never existed). While another
// program holds it, or its deletion is pending, tries again for about 10 s.
bool DeleteFileIfPresent(const std::wstring& path);

// Removes every record of the state file but the failure counter ("RetryCount"), so that no
// size or version stamp vouches for a file that is gone. True when nothing else is left.
bool ForgetDownloadState(const DownloadFiles& files);
