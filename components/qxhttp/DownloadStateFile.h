#pragma once
#include <cstdint>
#include <string>

#include "Validator.h"

// The download's state file (INI format, section "Main"). This library owns "size" and the
// validator keys; every other key (the installer's "RetryCount") is left as it is.
class CDownloadStateFile {
public:
    explicit CDownloadStateFile(std::wstring path) : m_path(std::move(path)) {}

    // The recorded total; false when missing or not a plain decimal number.
    bool ReadTotal(uint64_t& total) const;
    Validator ReadValidator() const;

    bool WriteTotal(uint64_t total) const;
    bool RemoveTotal() const;  // a body of unknown length: no total vouches for the partial file
    // Replaces whatever validator was recorded (None removes it).
    bool WriteValidator(const Validator& validator) const;

private:
    bool ReadKey(const wchar_t* key, std::wstring& value) const;
    bool WriteKey(const wchar_t* key, const wchar_t* value) const;

    std::wstring m_path;
};
