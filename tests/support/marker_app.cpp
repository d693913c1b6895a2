// A tiny Win32 program that stands in for a setup package or for the error checker in tests.
// When started it writes "<exe name>.started" into %FENNICK_MARKER_DIR% (inherited from the test),
// holding its working directory and its command line, then exits.
#include <windows.h>

#include <cwchar>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t directory[4096], self[4096], cwd[4096];
    if (GetEnvironmentVariableW(L"FENNICK_MARKER_DIR", directory, 4096) - 1 >= 4095 || GetModuleFileNameW(nullptr, self, 4096) - 1 >= 4095 ||
        GetCurrentDirectoryW(4096, cwd) - 1 >= 4095)
        return 2;
    const std::wstring text = std::wstring(L"cwd=") + cwd + L"\r\ncmdline=" + GetCommandLineW() + L"\r\n";
    std::string utf8(text.size() * 4, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr));
    const std::wstring path = std::wstring(directory) + L"\\" + (std::wcsrchr(self, L'\\') + 1) + L".started";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok ? 0 : 5;
}
