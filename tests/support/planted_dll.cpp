// A DLL that tests put in a program's folder under the name of a system DLL: whenever any process
// loads it, it leaves "<its file name>.<process id>.loaded" in %FENNICK_MARKER_DIR%, holding the
// path of the program that loaded it (UTF-16). It exports nothing, so whoever wanted the real
// DLL fails right after; the marker is written first.
#include <windows.h>

#include <cwchar>
#include <string>

#include "Handles.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    wchar_t folder[1024], self[1024], program[1024] = {};
    if (reason != DLL_PROCESS_ATTACH || GetEnvironmentVariableW(L"FENNICK_MARKER_DIR", folder, 1024) - 1 >= 1023 ||
        GetModuleFileNameW(instance, self, 1024) - 1 >= 1023)
        return TRUE;
    const DWORD length = GetModuleFileNameW(nullptr, program, 1024);
    const std::wstring path = std::wstring(folder) + L"\\" + (std::wcsrchr(self, L'\\') + 1) + L"." +
                              std::to_wstring(GetCurrentProcessId()) + L".loaded";
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.Get(), program, length * sizeof(wchar_t), &written, nullptr);
    return TRUE;
}
