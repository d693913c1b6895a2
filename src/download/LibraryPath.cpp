#include "download/LibraryPath.h"

#include <windows.h>

#include <vector>

#include "config/PathHelper.h"

std::wstring SystemShortPath(const std::wstring& path) {
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return std::wstring();
    std::vector<wchar_t> buffer(needed);
    const DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), needed);
    if (length == 0 || length >= needed) return std::wstring();
    return std::wstring(buffer.data(), length);
}

bool MakeAnsiLibraryPath(const std::wstring& folder, const std::wstring& fileName, std::string& out,
                         std::wstring (*shortPath)(const std::wstring&)) {
    CPathHelper paths;
    if (paths.WideToAnsiExact(folder + fileName, out)) return true;
    std::wstring shortFolder = shortPath(folder);
    if (shortFolder.empty()) return false;
    if (shortFolder.back() != L'\\') shortFolder += L'\\';
    return paths.WideToAnsiExact(shortFolder + fileName, out) == 1;
}
