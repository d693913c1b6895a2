#include "config/IniFile.h"

#include <gtest/gtest.h>

#include "config/TestScratch.h"

using config_testing::ScratchFolder;
using config_testing::WriteBytes;
using config_testing::WriteUtf16Text;

TEST(IniFile, ValuesReadBackAndMissingOnesAreErr) {
    ScratchFolder scratch;
    const std::wstring file = scratch / L"state.ini";
    EXPECT_EQ(ReadIniString(file, L"Main", L"size"), L"ERR");
    EXPECT_EQ(WriteIniString(file, L"Main", L"size", L"5000000000"), 1);
    EXPECT_EQ(WriteIniString(file, L"Main", L"size", L"3"), 1);
    EXPECT_EQ(ReadIniString(file, L"Main", L"size"), L"3");
    EXPECT_EQ(ReadIniString(file, L"Other", L"size"), L"ERR");
    EXPECT_EQ(ReadIniString(file, L"Main", L"RetryCount"), L"ERR");
    EXPECT_EQ(ReadIniString(file, L"Main", nullptr), L"ERR");
    EXPECT_EQ(WriteIniString(L"", L"Main", L"size", L"1"), 0);
    // An empty value is present, not missing; only "ERR" itself means missing.
    EXPECT_EQ(WriteIniString(file, L"Main", L"empty", L""), 1);
    EXPECT_EQ(ReadIniString(file, L"Main", L"empty"), L"");
    EXPECT_EQ(WriteIniString(file, L"Main", L"lower", L"err"), 1);
    EXPECT_EQ(ReadIniString(file, L"Main", L"lower"), L"err");
}

TEST(IniFile, LongestValueFitsAndLongerIsNeverCut) {
    ScratchFolder scratch;
    const std::wstring file = scratch / L"long.ini";
    const std::wstring longest(4095, L'x');
    EXPECT_EQ(WriteIniString(file, L"Main", L"v", longest), 1);
    EXPECT_EQ(ReadIniString(file, L"Main", L"v"), longest);
    EXPECT_EQ(WriteIniString(file, L"Main", L"w", longest + L"y"), 0);
    ASSERT_TRUE(WriteUtf16Text(file, L"[Main]\r\nv=" + longest + L"y\r\n"));
    EXPECT_EQ(ReadIniString(file, L"Main", L"v"), L"ERR");
}

TEST(IniFile, ValuesThatWouldNotReadBackAreRefused) {
    ScratchFolder scratch;
    const std::wstring file = scratch / L"state.ini";
    ASSERT_EQ(WriteIniString(file, L"Main", L"size", L"1"), 1);
    // A line break would add a key of its own; quotes and outer blanks are dropped on reading.
    for (const std::wstring& value : {std::wstring(L"1\r\nRetryCount=9"), std::wstring(L"\"abc\""),
                                      std::wstring(L"'abc'"), std::wstring(L" 2"),
                                      std::wstring(L"2\0x", 3)}) {
        EXPECT_EQ(WriteIniString(file, L"Main", L"size", value), 0);
    }
    EXPECT_EQ(ReadIniString(file, L"Main", L"size"), L"1");
    EXPECT_EQ(ReadIniString(file, L"Main", L"RetryCount"), L"ERR");
    EXPECT_EQ(WriteIniString(file, L"Main", L"etag", L"W/\"abc\""), 1);
    EXPECT_EQ(ReadIniString(file, L"Main", L"etag"), L"W/\"abc\"");
}

TEST(IniFile, TextWithoutAnsiFormIsKeptOrRefused) {
    // A file made by WriteIniString holds any text.
    ScratchFolder scratch;
    const std::wstring file = scratch / L"new.ini";
    const std::wstring unicode = L"\u4E2D\u6587 d\u00E9j\u00E0 \U0001F600";
    EXPECT_EQ(WriteIniString(file, L"Main", L"text", unicode), 1);
    EXPECT_EQ(ReadIniString(file, L"Main", L"text"), unicode);
    // An existing 8-bit file would store "?" instead: such a value is refused, others written.
    const std::wstring ansiFile = scratch / L"ansi.ini";
    ASSERT_TRUE(WriteBytes(ansiFile, "[Main]\r\nsize=1\r\n"));
    EXPECT_EQ(WriteIniString(ansiFile, L"Main", L"size", L"\U0001F600"), 0);
    EXPECT_EQ(ReadIniString(ansiFile, L"Main", L"size"), L"1");
    EXPECT_EQ(WriteIniString(ansiFile, L"Main", L"size", L"2"), 1);
    EXPECT_EQ(ReadIniString(ansiFile, L"Main", L"size"), L"2");
}
