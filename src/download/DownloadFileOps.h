#pragma once
#include <windows.h>

#include <string>

#include "config/DownloadFiles.h"

// What the download workers do with a download's files.

// Replaces the target with the finished partial file. 1 when the target now is that file.
// While another program holds either file, tries again for about 10 s.
int MovePartialToTarget(const DownloadFiles& files);

// Deletes a file; 1 when it is gone afterwards (also when it never existed). While another
// program holds it, or its deletion is pending, tries again for about 10 s.
int DeleteFileIfPresent(const std::wstring& path);

// Removes every record of the state file but the failure counter ("RetryCount"), so that no
// size or version stamp vouches for a file that is gone. 1 when nothing else is left.
int ForgetDownloadState(const DownloadFiles& files);
