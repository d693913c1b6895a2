#include "config/IniFile.h"

#include <gtest/gtest.h>

#include "config/TestScratch.h"

using fennick_testing::ScratchFolder;

// A value is written only when it reads back unchanged; a refused one leaves the old value.
TEST(IniFile, ValuesRoundTripOrAreRefused) {
    ScratchFolder scratch;
    const std::wstring file = scratch / L"state.ini";
    EXPECT_EQ(ReadIniString(file, L"Main", L"v"), L"ERR");
    const struct {
        std::wstring value;
        bool written;
    } cases[] = {
        {L"5000000000", 1}, {L"", 1}, {L"err", 1}, {L"W/\"abc\"", 1},
        {L"\u4E2D\u6587 \U0001F600", 1},  // a new file is UTF-16
        {std::wstring(4095, L'x'), 1}, {std::wstring(4096, L'x'), 0},
        {L"1\r\nRetryCount=9", 0}, {L"\"abc\"", 0}, {L"'abc'", 0}, {L" 2", 0}, {std::wstring(L"2\0x", 3), 0},
    };
    std::wstring stored = L"ERR";
    for (const auto& c : cases) {
        EXPECT_EQ(WriteIniString(file, L"Main", L"v", c.value), c.written) << c.value.substr(0, 20);
        if (c.written) stored = c.value;
        EXPECT_EQ(ReadIniString(file, L"Main", L"v"), stored) << c.value.substr(0, 20);
    }
    EXPECT_EQ(ReadIniString(file, L"Main", L"RetryCount"), L"ERR");
    EXPECT_EQ(ReadIniString(file, L"Other", L"v"), L"ERR");
    EXPECT_FALSE(WriteIniString(L"", L"Main", L"v", L"1")) << "an empty name would mean WIN.INI";

    // An existing 8-bit file would store "?" for a character without an ANSI form.
    const std::wstring ansi = scratch / L"ansi.ini";
    ASSERT_TRUE(fennick_testing::WriteBytes(ansi, "[Main]\r\nsize=1\r\n"));
    EXPECT_FALSE(WriteIniString(ansi, L"Main", L"size", L"\U0001F600"));
    EXPECT_EQ(ReadIniString(ansi, L"Main", L"size"), L"1");
}
