#pragma once
#include <cstdint>
#include <string>

// Strict reading of a decimal number taken from an HTTP header or the state file:
// optional blanks around one or more digits, nothing else. A value that would not fit in
// 64 bits is refused rather than wrapped, so a hostile length can never look small.
bool ParseUnsigned64(const std::wstring& text, uint64_t& value);

// The decimal text of a 64-bit size, every digit kept.
std::wstring FormatUnsigned64(uint64_t value);
