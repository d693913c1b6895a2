#pragma once
#include <string>

// An integer's decimal digits as wide text. std::to_wstring formats through the C library's wide
// printf, which would come into every program for this alone; std::to_string needs none.
template <typename Integer>
std::wstring WideDecimal(Integer value) {
    const std::string digits = std::to_string(value);
    return std::wstring(digits.begin(), digits.end());
}
