#include "Validator.h"

namespace {
std::wstring Trimmed(const std::wstring& text) {
    const size_t begin = text.find_first_not_of(L" \t");
    if (begin == std::wstring::npos) return std::wstring();
    const size_t end = text.find_last_not_of(L" \t");
    return text.substr(begin, end - begin + 1);
}

bool IsStrongEntityTag(const std::wstring& tag) {
    return tag.size() >= 2 && tag.front() == L'"' && tag.back() == L'"';
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}
}  // namespace

Validator ChooseValidator(const std::wstring& entityTag, const std::wstring& lastModified) {
    Validator chosen;
    const std::wstring tag = Trimmed(entityTag);
    const std::wstring date = Trimmed(lastModified);
    if (IsStrongEntityTag(tag) && tag.size() <= MAX_VALIDATOR_LENGTH) {
        chosen.kind = Validator::EntityTag;
        chosen.value = tag;
    } else if (!date.empty() && date.size() <= MAX_VALIDATOR_LENGTH) {
        chosen.kind = Validator::LastModified;
        chosen.value = date;
    }
    return chosen;
}

std::wstring EncodeStateText(const std::wstring& value) {
    static const wchar_t DIGITS[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(value.size() * 4);
    for (const wchar_t unit : value) {
        const unsigned code = static_cast<unsigned>(unit) & 0xFFFFu;
        for (int shift = 12; shift >= 0; shift -= 4) text.push_back(DIGITS[(code >> shift) & 0xFu]);
    }
    return text;
}

bool DecodeStateText(const std::wstring& text, std::wstring& value) {
    if (text.size() % 4 != 0) return false;
    std::wstring decoded;
    decoded.reserve(text.size() / 4);
    for (size_t i = 0; i < text.size(); i += 4) {
        unsigned code = 0;
        for (size_t j = 0; j < 4; ++j) {
            const int digit = HexValue(text[i + j]);
            if (digit < 0) return false;
            code = (code << 4) | static_cast<unsigned>(digit);
        }
        decoded.push_back(static_cast<wchar_t>(code));
    }
    value = decoded;
    return true;
}
