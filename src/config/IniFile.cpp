#include "config/IniFile.h"

#include <windows.h>

#include <vector>

namespace {

const wchar_t MISSING[] = L"ERR";

// Reads with the given capacity; the reader reports capacity - 1 when the value was cut.
DWORD ReadInto(std::vector<wchar_t>& buffer, const std::wstring& file, const wchar_t* section,
               const wchar_t* key) {
    return GetPrivateProfileStringW(section, key, MISSING, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), file.c_str());
}

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

}  // namespace

std::wstring ReadIniString(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    if (section == nullptr || key == nullptr) return MISSING;  // null would list names instead
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

int WriteIniString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                   const std::wstring& value) {
    if (section == nullptr || key == nullptr) return 0;  // null would delete instead of write
    if (!ReadsBackUnchanged(value)) return 0;
    return WritePrivateProfileStringW(section, key, value.c_str(), file.c_str()) ? 1 : 0;
}
