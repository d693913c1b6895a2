#include "config/DecimalText.h"

#include <climits>

namespace {
// The white space that C's isspace knows in the "C" locale.
bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}
}  // namespace

long long ParseDecimalPrefix(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // Accumulate the magnitude as unsigned so that LLONG_MIN is reachable; stop at the limit.
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(LLONG_MAX) + 1ULL : static_cast<unsigned long long>(LLONG_MAX);
    unsigned long long magnitude = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) return static_cast<long long>(magnitude);
    if (magnitude == limit) return LLONG_MIN;
    return -static_cast<long long>(magnitude);
}
