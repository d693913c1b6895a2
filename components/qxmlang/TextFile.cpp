#include "TextFile.h"

#include "Handles.h"

namespace {

bool DecodeUtf8(const char* data, size_t size, std::wstring& out) {
    if (size == 0) {
        out.clear();
        return true;
    }
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, static_cast<int>(size), nullptr, 0);
    if (length <= 0) return false;
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, static_cast<int>(size), &text[0], length) != length)
        return false;
    out = std::move(text);
    return true;
}

bool DecodeUtf16(const unsigned char* data, size_t size, bool bigEndian, std::wstring& out) {
    if (size % 2 != 0) return false;
    std::wstring text;
    text.reserve(size / 2);
    for (size_t i = 0; i < size; i += 2) {
        const unsigned int low = bigEndian ? data[i + 1] : data[i];
        const unsigned int high = bigEndian ? data[i] : data[i + 1];
        text += static_cast<wchar_t>(low | (high << 8));
    }
    // Unpaired surrogates mean a damaged file, as invalid UTF-8 does.
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    out = std::move(text);
    return true;
}
}  // namespace

bool DecodeText(const std::string& bytes, std::wstring& out) {
    if (bytes.size() > MAX_TEXT_FILE_BYTES) return false;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t size = bytes.size();
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        return DecodeUtf8(bytes.data() + 3, size - 3, out);
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) return DecodeUtf16(data + 2, size - 2, false, out);
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) return DecodeUtf16(data + 2, size - 2, true, out);
    return DecodeUtf8(bytes.data(), size, out);
}

TextFileStatus ReadTextFile(const std::wstring& path, std::wstring& out) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? TextFileStatus::Missing
                                                                                : TextFileStatus::Unreadable;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return TextFileStatus::Unreadable;
    if (static_cast<unsigned long long>(size.QuadPart) > MAX_TEXT_FILE_BYTES) return TextFileStatus::TooLarge;

    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t filled = 0;
    while (filled < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), &bytes[filled], static_cast<DWORD>(bytes.size() - filled), &read, nullptr))
            return TextFileStatus::Unreadable;
        if (read == 0) return TextFileStatus::Unreadable;  // shrank while being read: not the whole file
        filled += read;
    }
    return DecodeText(bytes, out) ? TextFileStatus::Read : TextFileStatus::BadEncoding;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == L'\r') --stop;
        lines.push_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::wstring TrimBlanks(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return std::wstring();
    const size_t last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}
