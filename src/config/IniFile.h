#pragma once
#include <string>

// Private-profile (INI) files. Every value is read into 4096 characters with the default "ERR";
// the exact text "ERR" means the value is missing.
static const size_t INI_VALUE_CAPACITY = 4096;

// The value, or "ERR" when the file, section or key is missing, an argument is null, the file
// name is empty (which would mean WIN.INI), or the value does not fit into 4096 characters
// (a cut-off value is never returned).
// Note: the reader drops white space around a value and one pair of quotes around it.
std::wstring ReadIniString(const std::wstring& file, const wchar_t* section, const wchar_t* key);

// True when written. False, writing nothing, when an argument is null, the file name is empty, or the
// value would not read back unchanged: it holds a line break or NUL, is longer than 4095
// characters, has white space at either end, is wrapped in a pair of quotes, or has no ANSI form
// while the existing file is ANSI text. A file that is new or empty is started as UTF-16.
bool WriteIniString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                   const std::wstring& value);
