#include "config/ModulePath.h"

#include <vector>

std::wstring ModuleDirectory(HMODULE hModule) {
    // Long paths (\\?\ or long-path aware systems) can exceed MAX_PATH: grow until it fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(hModule, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            const size_t slash = path.find_last_of(L'\\');
            if (slash != std::wstring::npos) path.resize(slash);
            return path;
        }
        if (buffer.size() >= 32768) return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

int MakeModuleFilePath(HMODULE hModule, const std::wstring& fileName, std::wstring& out) {
    const std::wstring directory = ModuleDirectory(hModule);
    if (directory.empty()) return 0;
    std::wstring result = directory + L"\\" + fileName;
    if (result.size() + 1 > MODULE_PATH_CAPACITY) return 0;
    out = std::move(result);
    return 1;
}
