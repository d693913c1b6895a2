#include "config/IniFile.h"

#include <windows.h>

#include <string>
#include <vector>

#include "Handles.h"
#include "config/PathHelper.h"

namespace {

const wchar_t MISSING[] = L"ERR";

// Reads with the given capacity; the reader reports capacity - 1 when the value was cut.
DWORD ReadInto(std::vector<wchar_t>& buffer, const std::wstring& file, const wchar_t* section,
               const wchar_t* key) {
    return GetPrivateProfileStringW(section, key, MISSING, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), file.c_str());
}

// The profile functions are not long-path aware (under Wine a longer path reads back nothing):
// such a file is refused rather than handed to them.
bool FitsProfileFunctions(const std::wstring& file) { return !file.empty() && file.size() < MAX_PATH; }

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool ReadsBackUnchanged(const std::wstring& value) {
    if (value.size() >= INI_VALUE_CAPACITY) return false;
    if (value.find_first_of(std::wstring(L"\r\n\0", 3)) != std::wstring::npos) return false;
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))) return false;
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        return false;
    return true;
}

// The writer keeps a file's encoding and makes new files in the ANSI code page, where text
// without an ANSI form turns into "?". A new or empty file therefore starts as UTF-16 (a
// byte-order mark alone); an existing ANSI file takes only values with an exact ANSI form.
bool CanHoldValue(const std::wstring& file, const std::wstring& value) {
    const UniqueHandle handle(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid()) return false;
    unsigned char head[2] = {};
    DWORD count = 0;
    if (!ReadFile(handle.Get(), head, sizeof(head), &count, nullptr)) return false;
    if (count == 0) {
        const unsigned char byteOrderMark[2] = {0xFF, 0xFE};
        return WriteFile(handle.Get(), byteOrderMark, sizeof(byteOrderMark), &count, nullptr) &&
               count == sizeof(byteOrderMark);
    }
    if (count == 2 && head[0] == 0xFF && head[1] == 0xFE) return true;
    std::string ansi;
    return CPathHelper().WideToAnsiExact(value, ansi) == 1;
}

}  // namespace

std::wstring ReadIniString(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    // A null name would list names instead; an empty file name would mean WIN.INI.
    if (section == nullptr || key == nullptr || !FitsProfileFunctions(file)) return MISSING;
    std::vector<wchar_t> buffer(INI_VALUE_CAPACITY);
    const DWORD length = ReadInto(buffer, file, section, key);
    if (length >= INI_VALUE_CAPACITY - 1) {
        // Exactly full: either a value of 4095 characters or a cut one. Ask again with room
        // to tell them apart; a cut value is reported as missing.
        std::vector<wchar_t> probe(INI_VALUE_CAPACITY + 1);
        if (ReadInto(probe, file, section, key) >= INI_VALUE_CAPACITY) return MISSING;
    }
    return std::wstring(buffer.data(), length);
}

bool WriteIniString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                   const std::wstring& value) {
    // A null name would delete instead of write; an empty file name would mean WIN.INI.
    if (section == nullptr || key == nullptr || !FitsProfileFunctions(file)) return false;
    if (!ReadsBackUnchanged(value) || !CanHoldValue(file, value)) return false;
    return WritePrivateProfileStringW(section, key, value.c_str(), file.c_str()) != FALSE;
}
