#include "download/DownloadFileOps.h"

#include "config/IniFile.h"

namespace {
constexpr DWORD FIRST_RETRY_PAUSE_MS = 100;
constexpr DWORD LONGEST_RETRY_PAUSE_MS = 3200;
constexpr ULONGLONG RETRY_BUDGET_MS = 10000;

// Virus scanners and indexers open a program file right after it is written; while they hold
// it, a move or delete fails with these errors (or a delete stays pending). They let go soon.
bool IsHeldByAnotherProgram(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

bool IsGone(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Repeats `attempt` (true when done) while the file is held, pausing 100 ms, then twice as
// long each time, for about 10 s in all; the last error is left for the caller.
template <typename Attempt>
bool RetryWhileHeld(Attempt attempt) {
    const ULONGLONG start = GetTickCount64();
    DWORD pauseMs = FIRST_RETRY_PAUSE_MS;
    for (;;) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if (!IsHeldByAnotherProgram(error) || GetTickCount64() - start + pauseMs > RETRY_BUDGET_MS) return false;
        Sleep(pauseMs);
        pauseMs = pauseMs * 2 > LONGEST_RETRY_PAUSE_MS ? LONGEST_RETRY_PAUSE_MS : pauseMs * 2;
        SetLastError(error);
    }
}
}  // namespace

bool MovePartialToTarget(const DownloadFiles& files) {
    return RetryWhileHeld([&] {
        return MoveFileExW(files.strPartialPath.c_str(), files.strTargetPath.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    });
}

bool DeleteFileIfPresent(const std::wstring& path) {
    return RetryWhileHeld([&] {
        if (!DeleteFileW(path.c_str())) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
            SetLastError(error);
            return false;
        }
        // A file still open elsewhere is only marked for deletion: wait until it is gone.
        if (IsGone(path)) return true;
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    });
}

bool ForgetDownloadState(const DownloadFiles& files) {
    const std::wstring counter = ReadIniString(files.strStateFile, L"Main", L"RetryCount");
    if (!DeleteFileIfPresent(files.strStateFile)) return false;
    if (counter == L"ERR") return true;
    return WriteIniString(files.strStateFile, L"Main", L"RetryCount", counter);
}
