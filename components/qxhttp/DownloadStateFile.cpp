#include "DownloadStateFile.h"

#include <windows.h>

#include <vector>

#include "HeaderNumber.h"

namespace {
const wchar_t SECTION[] = L"Main";
const wchar_t SIZE_KEY[] = L"size";
// Hex forms (see EncodeStateText); the names say what the value is.
const wchar_t ENTITY_TAG_KEY[] = L"HttpETagHex";
const wchar_t LAST_MODIFIED_KEY[] = L"HttpLastModifiedHex";
constexpr DWORD VALUE_CAPACITY = 4096;
}  // namespace

bool CDownloadStateFile::ReadKey(const wchar_t* key, std::wstring& value) const {
    if (m_path.size() >= MAX_PATH) return false;  // the profile functions are not long-path aware
    std::vector<wchar_t> buffer(VALUE_CAPACITY, L'\0');
    const DWORD length = GetPrivateProfileStringW(SECTION, key, L"\x1", buffer.data(), VALUE_CAPACITY,
                                                  m_path.c_str());
    // A value that filled the buffer may have been cut: treat it as missing.
    if (length >= VALUE_CAPACITY - 1) return false;
    std::wstring text(buffer.data(), length);
    if (text == L"\x1") return false;
    value = text;
    return true;
}

bool CDownloadStateFile::WriteKey(const wchar_t* key, const wchar_t* value) const {
    if (m_path.size() >= MAX_PATH) return false;
    return WritePrivateProfileStringW(SECTION, key, value, m_path.c_str()) != FALSE;
}

bool CDownloadStateFile::ReadTotal(uint64_t& total) const {
    std::wstring text;
    return ReadKey(SIZE_KEY, text) && ParseUnsigned64(text, total);
}

Validator CDownloadStateFile::ReadValidator() const {
    Validator validator;
    std::wstring encoded;
    std::wstring value;
    if (ReadKey(ENTITY_TAG_KEY, encoded) && DecodeStateText(encoded, value) && !value.empty()) {
        validator.kind = Validator::EntityTag;
        validator.value = value;
    } else if (ReadKey(LAST_MODIFIED_KEY, encoded) && DecodeStateText(encoded, value) && !value.empty()) {
        validator.kind = Validator::LastModified;
        validator.value = value;
    }
    return validator;
}

bool CDownloadStateFile::WriteTotal(uint64_t total) const {
    return WriteKey(SIZE_KEY, FormatUnsigned64(total).c_str());
}

bool CDownloadStateFile::RemoveTotal() const {
    std::wstring text;
    return !ReadKey(SIZE_KEY, text) || WriteKey(SIZE_KEY, nullptr);
}

bool CDownloadStateFile::WriteValidator(const Validator& validator) const {
    // Remove both first, so that a failure half-way never leaves an old validator standing.
    WriteKey(ENTITY_TAG_KEY, nullptr);
    WriteKey(LAST_MODIFIED_KEY, nullptr);
    if (ReadValidator().kind != Validator::None) return false;
    switch (validator.kind) {
    case Validator::EntityTag: return WriteKey(ENTITY_TAG_KEY, EncodeStateText(validator.value).c_str());
    case Validator::LastModified: return WriteKey(LAST_MODIFIED_KEY, EncodeStateText(validator.value).c_str());
    case Validator::None: break;
    }
    return true;
}
