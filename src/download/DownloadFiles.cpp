#include "download/DownloadFiles.h"

#include "config/IniFile.h"
#include "ui/CompletionMessage.h"

DownloadFiles MakeDownloadFiles(const std::wstring& downloadFolder, const std::wstring& fileName) {
    DownloadFiles files;
    files.strTargetPath = downloadFolder + fileName;
    files.strPartialPath = files.strTargetPath + L"_tmp";
    files.strStateFile = files.strPartialPath + L"_sz";
    return files;
}

int MovePartialToTarget(const DownloadFiles& files) {
    return MoveFileExW(files.strPartialPath.c_str(), files.strTargetPath.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 1
               : 0;
}

int DeleteFileIfPresent(const std::wstring& path) {
    if (DeleteFileW(path.c_str())) return 1;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 1 : 0;
}

int ForgetDownloadState(const DownloadFiles& files) {
    const std::wstring counter = ReadIniString(files.strStateFile, L"Main", L"RetryCount");
    if (!DeleteFileIfPresent(files.strStateFile)) return 0;
    if (counter == L"ERR") return 1;
    return WriteIniString(files.strStateFile, L"Main", L"RetryCount", counter);
}

void PostCompletion(HWND hDialog, bool complete) {
    PostMessageW(hDialog, g_completionMsg, 0, complete ? COMPLETION_SUCCESS : COMPLETION_FAILURE);
}
