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

    // The shell writes at most MAX_PATH characters; the buffer is far larger and zero-filled,
    // so the text is always terminated within it.
    std::vector<wchar_t> buffer(SHELL_PATH_CAPACITY, L'\0');
    if (!SHGetPathFromIDListW(pidl.get(), buffer.data())) return std::wstring();
    const size_t length = wcsnlen(buffer.data(), buffer.size() - 1);
    return ComposeDownloadFolder(std::wstring(buffer.data(), length));
}
