#include "HeaderNumber.h"

#include <limits>

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
}

bool ParseUnsigned64(const std::wstring& text, uint64_t& value) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const size_t firstDigit = pos;
    uint64_t result = 0;
    constexpr uint64_t UINT64_LIMIT = std::numeric_limits<uint64_t>::max();
    while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
        const uint64_t digit = static_cast<uint64_t>(text[pos] - L'0');
        if (result > (UINT64_LIMIT - digit) / 10) return false;
        result = result * 10 + digit;
        ++pos;
    }
    if (pos == firstDigit) return false;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos != text.size()) return false;
    value = result;
    return true;
}

std::wstring FormatUnsigned64(uint64_t value) {
    wchar_t digits[21];
    size_t pos = sizeof(digits) / sizeof(digits[0]);
    do {
        digits[--pos] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(digits + pos, digits + sizeof(digits) / sizeof(digits[0]));
}
