#include "DownloadStateFile.h"

#include <windows.h>

#include <vector>

#include "HeaderNumber.h"

namespace {
const wchar_t kSection[] = L"Main";
const wchar_t kSizeKey[] = L"size";
// Hex forms (see EncodeStateText); the names say what the value is.
const wchar_t kEntityTagKey[] = L"HttpETagHex";
const wchar_t kLastModifiedKey[] = L"HttpLastModifiedHex";
constexpr DWORD kValueCapacity = 4096;
}  // namespace

bool CDownloadStateFile::ReadKey(const wchar_t* key, std::wstring& value) const {
    std::vector<wchar_t> buffer(kValueCapacity, L'\0');
    const DWORD length = GetPrivateProfileStringW(kSection, key, L"\x1", buffer.data(), kValueCapacity,
                                                  m_path.c_str());
    // A value that filled the buffer may have been cut: treat it as missing.
    if (length >= kValueCapacity - 1) return false;
    std::wstring text(buffer.data(), length);
    if (text == L"\x1") return false;
    value = text;
    return true;
}

bool CDownloadStateFile::WriteKey(const wchar_t* key, const wchar_t* value) const {
    return WritePrivateProfileStringW(kSection, key, value, m_path.c_str()) != FALSE;
}

bool CDownloadStateFile::ReadTotal(uint64_t& total) const {
    std::wstring text;
    return ReadKey(kSizeKey, text) && ParseUnsigned64(text, total);
}

Validator CDownloadStateFile::ReadValidator() const {
    Validator validator;
    std::wstring encoded;
    std::wstring value;
    if (ReadKey(kEntityTagKey, encoded) && DecodeStateText(encoded, value) && !value.empty()) {
        validator.kind = Validator::EntityTag;
        validator.value = value;
    } else if (ReadKey(kLastModifiedKey, encoded) && DecodeStateText(encoded, value) && !value.empty()) {
        validator.kind = Validator::LastModified;
        validator.value = value;
    }
    return validator;
}

bool CDownloadStateFile::WriteTotal(uint64_t total) const {
    return WriteKey(kSizeKey, FormatUnsigned64(total).c_str());
}

bool CDownloadStateFile::RemoveTotal() const {
    std::wstring text;
    return !ReadKey(kSizeKey, text) || WriteKey(kSizeKey, nullptr);
}

bool CDownloadStateFile::WriteValidator(const Validator& validator) const {
    // Remove both first, so that a failure half-way never leaves an old validator standing.
    WriteKey(kEntityTagKey, nullptr);
    WriteKey(kLastModifiedKey, nullptr);
    if (ReadValidator().kind != Validator::None) return false;
    switch (validator.kind) {
    case Validator::EntityTag: return WriteKey(kEntityTagKey, EncodeStateText(validator.value).c_str());
    case Validator::LastModified: return WriteKey(kLastModifiedKey, EncodeStateText(validator.value).c_str());
    case Validator::None: break;
    }
    return true;
}
