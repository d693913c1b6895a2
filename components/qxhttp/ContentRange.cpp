#include "ContentRange.h"

#include "HeaderNumber.h"

namespace {
bool StartsWithUnitBytes(const std::wstring& text, size_t& pos) {
    static const wchar_t UNIT[] = L"bytes";
    size_t i = 0;
    while (text.size() > i && (text[i] == L' ' || text[i] == L'\t')) ++i;
    for (const wchar_t* u = UNIT; *u; ++u, ++i) {
        if (i >= text.size()) return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != *u) return false;
    }
    // At least one blank separates the unit from the range.
    if (i >= text.size() || (text[i] != L' ' && text[i] != L'\t')) return false;
    pos = i;
    return true;
}

bool ParseDigits(const std::wstring& part, uint64_t& value) {
    // Blanks are allowed only around the whole value, never inside "first-last".
    if (part.empty() || part.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
    return ParseUnsigned64(part, value);
}
}  // namespace

bool ParseContentRange(const std::wstring& text, ContentRange& range) {
    size_t pos = 0;
    if (!StartsWithUnitBytes(text, pos)) return false;
    std::wstring rest = text.substr(pos);
    const size_t begin = rest.find_first_not_of(L" \t");
    const size_t end = rest.find_last_not_of(L" \t");
    if (begin == std::wstring::npos) return false;
    rest = rest.substr(begin, end - begin + 1);

    const size_t slash = rest.find(L'/');
    if (slash == std::wstring::npos) return false;
    const std::wstring rangePart = rest.substr(0, slash);
    const std::wstring totalPart = rest.substr(slash + 1);

    ContentRange parsed;
    if (totalPart == L"*") {
        parsed.totalKnown = false;
    } else {
        if (!ParseDigits(totalPart, parsed.total)) return false;
        parsed.totalKnown = true;
    }

    if (rangePart == L"*") {
        if (!parsed.totalKnown) return false;  // "*/*" says nothing
        parsed.hasRange = false;
    } else {
        const size_t dash = rangePart.find(L'-');
        if (dash == std::wstring::npos) return false;
        if (!ParseDigits(rangePart.substr(0, dash), parsed.first)) return false;
        if (!ParseDigits(rangePart.substr(dash + 1), parsed.last)) return false;
        if (parsed.first > parsed.last) return false;
        if (parsed.totalKnown && parsed.last >= parsed.total) return false;
        parsed.hasRange = true;
    }
    range = parsed;
    return true;
}
