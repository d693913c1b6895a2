#pragma once
#include <string>

// Reads the decimal number at the start of a text the way C's atoi does: leading white space,
// an optional sign, then ASCII digits up to the first other character. No digits gives 0.
// 64-bit; a value beyond the range saturates at LLONG_MAX / LLONG_MIN instead of overflowing.
long long ParseDecimalPrefix(const std::wstring& text);
