#pragma once
#include <string>

namespace qxftp {

// A local path given in the ANSI code page, as the system reads it; false for a byte sequence
// that is not valid there (nothing is guessed).
bool WidenAnsiPath(const char* path, std::wstring& out);

// UTF-8 form of a path for the last-error text.
std::string Utf8(const std::wstring& text);

}  // namespace qxftp
