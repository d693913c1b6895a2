#include "LanguageId.h"

#include <windows.h>

#include <algorithm>

#include "TextFile.h"

bool ParseLanguageId(const std::wstring& text, unsigned short& out) {
    const std::wstring trimmed = TrimBlanks(text);
    size_t pos = 0;
    unsigned int base = 10;
    if (trimmed.size() > 2 && trimmed[0] == L'0' && (trimmed[1] == L'x' || trimmed[1] == L'X')) {
        base = 16;
        pos = 2;
    }
    if (pos >= trimmed.size()) return false;
    unsigned long value = 0;
    for (; pos < trimmed.size(); ++pos) {
        const wchar_t c = trimmed[pos];
        unsigned int digit;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<unsigned int>(c - L'0');
        } else if (base == 16 && c >= L'a' && c <= L'f') {
            digit = static_cast<unsigned int>(c - L'a' + 10);
        } else if (base == 16 && c >= L'A' && c <= L'F') {
            digit = static_cast<unsigned int>(c - L'A' + 10);
        } else {
            return false;
        }
        value = value * base + digit;
        if (value > 0xFFFF) return false;
    }
    if (PRIMARYLANGID(value) == LANG_NEUTRAL) return false;  // names no language
    out = static_cast<unsigned short>(value);
    return true;
}

std::vector<unsigned short> LanguageCandidates(unsigned short active, unsigned short settingsFallback) {
    const unsigned short primary = PRIMARYLANGID(active);
    const unsigned short order[] = {
        active,
        static_cast<unsigned short>(MAKELANGID(primary, SUBLANG_NEUTRAL)),
        static_cast<unsigned short>(MAKELANGID(primary, SUBLANG_DEFAULT)),
        settingsFallback,
        ENGLISH_UNITED_STATES,
    };
    std::vector<unsigned short> candidates;
    for (unsigned short id : order) {
        // The primary-language forms of "no language" (0) are no language either.
        if (PRIMARYLANGID(id) == LANG_NEUTRAL) continue;
        if (std::find(candidates.begin(), candidates.end(), id) == candidates.end()) candidates.push_back(id);
    }
    return candidates;
}
