#include "bindings/TransferLibraryModule.h"

#include <string>

#include "config/ModulePath.h"

void ShowLoadFailureBox(const wchar_t* pszText, const wchar_t* pszCaption) {
    MessageBoxW(nullptr, pszText, pszCaption, MB_OK);
}

UniqueModule LoadLibraryBesideExecutable(const wchar_t* fileName) {
    std::wstring path;
    if (!MakeModuleFilePath(nullptr, fileName, path)) return UniqueModule();
    // Never LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR: that is the executable's folder again.
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}
