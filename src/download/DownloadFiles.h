#pragma once
#include <windows.h>

#include <string>

// The three files of one download, all in the download folder: the package under its name from
// the URL, the partial file the data is received into, and the state file (INI, section "Main":
// "size", "RetryCount" and keys of the transfer library).
struct DownloadFiles {
    std::wstring strTargetPath;
    std::wstring strPartialPath;   // target + "_tmp"
    std::wstring strStateFile;     // target + "_tmp_sz"
};

DownloadFiles MakeDownloadFiles(const std::wstring& downloadFolder, const std::wstring& fileName);

// Replaces the target with the finished partial file. 1 when the target now is that file.
// While another program holds either file, tries again for about 10 s.
int MovePartialToTarget(const DownloadFiles& files);

// Deletes a file; 1 when it is gone afterwards (also when it never existed). While another
// program holds it, or its deletion is pending, tries again for about 10 s.
int DeleteFileIfPresent(const std::wstring& path);

// Removes every record of the state file but the failure counter ("RetryCount"), so that no
// size or version stamp vouches for a file that is gone. 1 when nothing else is left.
int ForgetDownloadState(const DownloadFiles& files);

// The worker's one completion message to the dialog window.
void PostCompletion(HWND hDialog, bool complete);
