#include "win32/LocalPath.h"

#include <windows.h>

#include <vector>

namespace qxftp {

bool WidenAnsiPath(const char* path, std::wstring& out) {
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0) return false;
    std::vector<wchar_t> buffer(static_cast<size_t>(length));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, buffer.data(), length) != length) return false;
    out.assign(buffer.data(), static_cast<size_t>(length - 1));
    return true;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    if (bytes <= 0) return std::string("?");
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

}  // namespace qxftp
