// A tiny Win32 program that stands in for a setup package or for the error checker in tests.
// When started it writes "<exe name>.started" into %FENNICK_MARKER_DIR% (inherited from the test),
// holding its working directory and its command line, then exits.
#include <windows.h>

#include <string>

static std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
    if (length == 0 || length >= 4096) return std::wstring();
    return std::wstring(buffer, length);
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring directory = Environment(L"FENNICK_MARKER_DIR");
    if (directory.empty()) return 2;
    wchar_t self[4096];
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, 4096);
    if (selfLength == 0 || selfLength >= 4096) return 3;
    std::wstring name(self, selfLength);
    name = name.substr(name.find_last_of(L'\\') + 1);
    wchar_t cwd[4096];
    const DWORD cwdLength = GetCurrentDirectoryW(4096, cwd);
    if (cwdLength == 0 || cwdLength >= 4096) return 4;

    const std::wstring text = std::wstring(L"cwd=") + cwd + L"\r\ncmdline=" + GetCommandLineW() + L"\r\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);

    const std::wstring path = directory + L"\\" + name + L".started";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 5;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 6;
}
