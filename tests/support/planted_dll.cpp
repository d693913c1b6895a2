// A DLL that tests put in a program's folder under the name of a system DLL: whenever any process
// loads it, it leaves "<its file name>.<process id>.loaded" in %FENNICK_MARKER_DIR%, holding the
// path of the program that loaded it (UTF-16). It exports nothing, so whoever wanted the real
// DLL fails right after; the marker is written first.
#include <windows.h>

#include <string>

#include "Handles.h"

namespace {
constexpr DWORD kPathCapacity = 1024;

std::wstring ModulePath(HMODULE module) {
    wchar_t buffer[kPathCapacity];
    const DWORD length = GetModuleFileNameW(module, buffer, kPathCapacity);
    return length == 0 || length >= kPathCapacity ? std::wstring() : std::wstring(buffer, length);
}

void LeaveMarker(HMODULE self) {
    wchar_t folder[kPathCapacity];
    const DWORD folderLength = GetEnvironmentVariableW(L"FENNICK_MARKER_DIR", folder, kPathCapacity);
    if (folderLength == 0 || folderLength >= kPathCapacity) return;
    std::wstring name = ModulePath(self);
    name = name.substr(name.find_last_of(L'\\') + 1);
    const std::wstring path = std::wstring(folder, folderLength) + L"\\" + name + L"." +
                              std::to_wstring(GetCurrentProcessId()) + L".loaded";
    const std::wstring program = ModulePath(nullptr);
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file.IsValid()) return;
    DWORD written = 0;
    WriteFile(file.Get(), program.data(), static_cast<DWORD>(program.size() * sizeof(wchar_t)), &written, nullptr);
}
}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(instance);
    return TRUE;
}
