#pragma once
#include <string>

// QXMLANG.INI, the library's settings (the format is described in FORMATS.md).
struct LanguageSettings {
    unsigned short fallbackLanguage = 0;  // 0: the settings name no language
};

// Reads key "Fallback" of section "[Language]" (names compared without case); a missing or
// invalid value leaves fallbackLanguage at 0.
LanguageSettings ParseLanguageSettings(const std::wstring& text);
