#include "SettingsParser.h"

#include <gtest/gtest.h>

TEST(SettingsParser, ReadsTheFallbackLanguageOfTheLanguageSection) {
    EXPECT_EQ(ParseLanguageSettings(L"[Language]\r\nFallback=0x0404\r\n").fallbackLanguage, 0x0404);
    EXPECT_EQ(ParseLanguageSettings(L"; c\n[ language ]\n  fallback = 1041 \n").fallbackLanguage, 0x0411)
        << "names without case, blanks around";
    EXPECT_EQ(ParseLanguageSettings(L"[Other]\nFallback=0x0404\n[Language]\nSomething=1\n").fallbackLanguage, 0)
        << "only the Language section counts";
}

TEST(SettingsParser, MissingOrInvalidFallbackNamesNoLanguage) {
    EXPECT_EQ(ParseLanguageSettings(L"").fallbackLanguage, 0);
    EXPECT_EQ(ParseLanguageSettings(L"[Language]\nFallback=zh-TW\n").fallbackLanguage, 0);
    EXPECT_EQ(ParseLanguageSettings(L"[Language]\nFallback=0x0404\nFallback=junk\n").fallbackLanguage, 0)
        << "the last value counts, and it names nothing";
    EXPECT_EQ(ParseLanguageSettings(L"Fallback=0x0404\n").fallbackLanguage, 0) << "outside any section";
}
