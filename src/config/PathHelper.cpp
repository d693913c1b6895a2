#include "config/PathHelper.h"

#include "Handles.h"
#include "WideDecimal.h"

#include <cwchar>
#include <new>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Index of the last separator in text[0, length), or -1.
long long FindLastSeparator(const wchar_t* text, size_t length) {
    for (size_t i = length; i > 0; --i) {
        if (IsSeparator(text[i - 1])) return static_cast<long long>(i - 1);
    }
    return -1;
}

// Shared by the two in-place strips: moves the last component to the front when it fits.
int StripToLastComponent(wchar_t* text, bool cutExtension) {
    if (text == nullptr || text[0] == L'\0') return 0;
    const size_t length = wcslen(text);
    const long long separator = FindLastSeparator(text, length);
    if (separator < 0) return 0;
    const size_t start = static_cast<size_t>(separator) + 1;
    const size_t kept = length - start;
    if (kept >= CPathHelper::COMPONENT_CAPACITY) return 0;  // would not fit the component scratch
    wmemmove(text, text + start, kept);
    text[kept] = L'\0';
    if (cutExtension) {
        wchar_t* dot = wcsrchr(text, L'.');
        if (dot != nullptr) *dot = L'\0';
    }
    return 1;
}

// Copies a path into a bounded buffer (the text up to its first NUL) and strips it there.
std::wstring StripCopy(const std::wstring& path, bool cutExtension) {
    const size_t length = wcsnlen(path.c_str(), path.size());
    if (length >= CPathHelper::PATH_CAPACITY) return std::wstring();
    std::wstring copy(path.c_str(), length);
    copy.push_back(L'\0');
    if (!StripToLastComponent(&copy[0], cutExtension)) return std::wstring();
    return std::wstring(copy.c_str());
}

bool FitsSizeQuery(const std::wstring& path) {
    return !path.empty() && path.size() < CPathHelper::SIZE_QUERY_CAPACITY &&
           path.find(L'\0') == std::wstring::npos;
}

HANDLE OpenForSize(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_READONLY | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

int CPathHelper::StripDirectory(wchar_t* pszText) { return StripToLastComponent(pszText, false); }

int CPathHelper::StripDirectoryAndExtension(wchar_t* pszText) {
    return StripToLastComponent(pszText, true);
}

std::wstring CPathHelper::GetFileName(const std::wstring& path) { return StripCopy(path, false); }

std::wstring CPathHelper::GetBaseName(const std::wstring& path) { return StripCopy(path, true); }

int CPathHelper::StripFileName(wchar_t* pszText) {
    if (pszText == nullptr) return 0;
    const long long separator = FindLastSeparator(pszText, wcslen(pszText));
    if (separator >= 0) pszText[separator] = L'\0';
    return 1;
}

std::wstring CPathHelper::IntToString(int nValue) { return WideDecimal(nValue); }

std::wstring CPathHelper::Int64ToString(long long nValue) { return WideDecimal(nValue); }

int CPathHelper::PathExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return 1;
}

void CPathHelper::CreateDirectories(const std::wstring& path) {
    std::wstring work(path);
    for (wchar_t& c : work) {
        if (c == L'/') c = L'\\';
    }
    // A leading "\\" names a network share or a "\\?\" path: collapsing it would create the
    // levels on the current drive instead, so it is kept and only later pairs are collapsed.
    const size_t keep = (work.compare(0, 2, L"\\\\") == 0) ? 2 : 0;
    std::wstring collapsed = work.substr(0, keep);
    for (size_t i = keep; i < work.size();) {
        if (work[i] == L'\\' && i + 1 < work.size() && work[i + 1] == L'\\') {
            collapsed.push_back(L'\\');
            i += 2;
        } else {
            collapsed.push_back(work[i]);
            i += 1;
        }
    }

    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    auto createIfMissing = [&](const std::wstring& level) {
        if (!PathExists(level)) CreateDirectoryW(level.c_str(), &attributes);  // failures ignored
    };

    // Index 0 is never a split point, nor the character right after a separator.
    size_t start = keep > 0 ? keep : 1;
    while (start < collapsed.size()) {
        const size_t separator = collapsed.find(L'\\', start);
        if (separator == std::wstring::npos) break;
        createIfMissing(collapsed.substr(0, separator));
        start = separator + 2;
    }
    createIfMissing(collapsed);
}

std::unique_ptr<char[]> CPathHelper::WideToAnsi(const std::wstring& text) {
    int needed = 0;
    if (!text.empty() && text.size() <= static_cast<size_t>(INT_MAX / 4)) {
        needed = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                     0, nullptr, nullptr);
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(needed) + 2]);
    if (!buffer) return buffer;
    int written = 0;
    if (needed > 0) {
        written = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      buffer.get(), needed, nullptr, nullptr);
    }
    buffer[written > 0 ? written : 0] = '\0';
    return buffer;
}

int CPathHelper::WideToAnsiExact(const std::wstring& text, std::string& out) {
    if (text.empty()) {
        out.clear();
        return 1;
    }
    if (text.size() > static_cast<size_t>(INT_MAX / 4) || text.find(L'\0') != std::wstring::npos)
        return 0;
    const int count = static_cast<int>(text.size());
    // UTF-8 as the ANSI code page can say every character but takes no default-character test;
    // it refuses unpaired surrogates instead.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* pUsedDefault = utf8 ? nullptr : &usedDefault;
    const int needed =
        WideCharToMultiByte(CP_ACP, flags, text.data(), count, nullptr, 0, nullptr, pUsedDefault);
    if (needed <= 0 || usedDefault) return 0;
    std::string result(static_cast<size_t>(needed), '\0');
    const int written = WideCharToMultiByte(CP_ACP, flags, text.data(), count, &result[0], needed,
                                            nullptr, pUsedDefault);
    if (written != needed || usedDefault) return 0;
    out = std::move(result);
    return 1;
}

unsigned int CPathHelper::QueryFileSize(const std::wstring& path) {
    if (!FitsSizeQuery(path)) return 0;
    const UniqueHandle file(OpenForSize(path));
    if (!file.IsValid()) return 0;
    const DWORD size = GetFileSize(file.Get(), nullptr);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

int CPathHelper::QueryFileSize64(const std::wstring& path, unsigned long long& size) {
    if (!FitsSizeQuery(path)) return 0;
    const UniqueHandle file(OpenForSize(path));
    if (!file.IsValid()) return 0;
    LARGE_INTEGER value;
    if (!GetFileSizeEx(file.Get(), &value) || value.QuadPart < 0) return 0;
    size = static_cast<unsigned long long>(value.QuadPart);
    return 1;
}
