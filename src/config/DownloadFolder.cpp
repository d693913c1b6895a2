#include "config/DownloadFolder.h"

#include <shlobj.h>

#include <cwchar>
#include <memory>
#include <vector>

namespace {

const size_t SHELL_PATH_CAPACITY = 4096;

struct PidlDeleter {
    void operator()(ITEMIDLIST* pidl) const { CoTaskMemFree(pidl); }
};

}  // namespace

std::wstring ComposeDownloadFolder(const std::wstring& documentsPath) {
    if (documentsPath.empty()) return std::wstring();
    std::wstring folder = documentsPath;
    if (folder.back() != L'\\') folder.push_back(L'\\');
    folder += L"Vantrel\\Fennick\\";
    return folder;
}

std::wstring QueryDocumentsDownloadFolder(HWND owner) {
    LPITEMIDLIST rawPidl = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_PERSONAL, &rawPidl)) || rawPidl == nullptr)
        return std::wstring();
    const std::unique_ptr<ITEMIDLIST, PidlDeleter> pidl(rawPidl);

    // SHGetPathFromIDListW stops at MAX_PATH; the Ex form is told the buffer's size and fails when
    // the path does not fit. A path that fills the buffer counts as cut.
    std::vector<wchar_t> buffer(SHELL_PATH_CAPACITY, L'\0');
    if (!SHGetPathFromIDListEx(pidl.get(), buffer.data(), static_cast<DWORD>(buffer.size()), GPFIDL_DEFAULT))
        return std::wstring();
    const size_t length = wcsnlen(buffer.data(), buffer.size());
    if (length >= buffer.size() - 1) return std::wstring();
    return ComposeDownloadFolder(std::wstring(buffer.data(), length));
}
