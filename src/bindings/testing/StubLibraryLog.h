#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Helpers for the binding tests: what the stand-in libraries logged, and the load-failure
// notices a binding gave instead of a message box.
namespace stub_testing {

inline std::vector<std::pair<std::wstring, std::wstring>>& Notices() {
    static std::vector<std::pair<std::wstring, std::wstring>> notices;
    return notices;
}

inline void RecordNotice(const wchar_t* pszText, const wchar_t* pszCaption) {
    Notices().emplace_back(pszText, pszCaption);
}

// The log of a loaded stand-in library (which must still be loaded), cleared by reading.
template <typename Char>
std::basic_string<Char> TakeLog(const wchar_t* moduleName) {
    typedef int(WINAPI * ReadLog)(Char*, int);
    const HMODULE hModule = GetModuleHandleW(moduleName);
    if (!hModule) return std::basic_string<Char>();
    const auto read = reinterpret_cast<ReadLog>(GetProcAddress(hModule, "StubReadLog"));
    std::vector<Char> buffer(8192);
    if (!read || !read(buffer.data(), static_cast<int>(buffer.size()))) return std::basic_string<Char>();
    return std::basic_string<Char>(buffer.data());
}

}  // namespace stub_testing
