#include "SettingsParser.h"

#include <windows.h>

#include "LanguageId.h"
#include "TextFile.h"

namespace {
bool SameName(const std::wstring& a, const wchar_t* b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}
}  // namespace

LanguageSettings ParseLanguageSettings(const std::wstring& text) {
    LanguageSettings settings;
    bool inLanguageSection = false;
    for (const std::wstring& line : SplitLines(text)) {
        const std::wstring trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed[0] == L';' || trimmed[0] == L'#') continue;
        if (trimmed.front() == L'[') {
            inLanguageSection = trimmed.back() == L']' && SameName(TrimBlanks(trimmed.substr(1, trimmed.size() - 2)), L"Language");
            continue;
        }
        const size_t equals = trimmed.find(L'=');
        if (!inLanguageSection || equals == std::wstring::npos) continue;
        if (!SameName(TrimBlanks(trimmed.substr(0, equals)), L"Fallback")) continue;
        unsigned short id = 0;
        settings.fallbackLanguage = ParseLanguageId(trimmed.substr(equals + 1), id) ? id : 0;
    }
    return settings;
}
