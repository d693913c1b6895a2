#include "checks/InstallerRestart.h"

#include <vector>

std::wstring InstallerMutexName(const std::wstring& strBaseName) {
    return strBaseName.empty() ? std::wstring(L"Fennick_NoPackageName") : strBaseName;
}

bool IsInstallerRunning(const std::wstring& strMutexName) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, strMutexName.c_str());
    if (mutex != nullptr) {
        CloseHandle(mutex);
        return true;
    }
    // Denied means it exists under another user; the installer treats that as a running
    // instance too. Any other failure (no such name, a different kind of object) lets a new
    // installer start, so it counts as ended.
    return GetLastError() == ERROR_ACCESS_DENIED;
}

WaitOutcome WaitForInstallerToEnd(const std::wstring& strMutexName, DWORD timeoutMs, DWORD pollMs,
                                  const std::atomic<bool>& cancel) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (cancel.load()) return WaitOutcome::Cancelled;
        if (!IsInstallerRunning(strMutexName)) return WaitOutcome::Ended;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return WaitOutcome::StillRunning;
        const ULONGLONG left = end - now;
        Sleep(static_cast<DWORD>(left < pollMs ? left : pollMs));
    }
}

bool StartInstaller(const std::wstring& strFolder) {
    const std::wstring path = strFolder + L"\\Fennick.exe";
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::wstring quoted = L"\"" + path + L"\"";
    std::vector<wchar_t> commandLine(quoted.begin(), quoted.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, strFolder.c_str(),
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
