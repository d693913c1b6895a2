#include "bindings/TransferLibraryModule.h"

#include <string>

#include "config/ModulePath.h"

namespace {
// The binding's own path buffer holds 2048 characters; a longer path is not loaded at all.
constexpr size_t kLibraryPathCapacity = 2048;
}  // namespace

void ShowLoadFailureBox(const wchar_t* pszText, const wchar_t* pszCaption) {
    MessageBoxW(nullptr, pszText, pszCaption, MB_OK);
}

UniqueModule LoadLibraryBesideExecutable(const wchar_t* fileName) {
    std::wstring path;
    if (!MakeModuleFilePath(nullptr, fileName, path, kLibraryPathCapacity)) return UniqueModule();
    // Never LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR: that is the executable's folder again.
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}
