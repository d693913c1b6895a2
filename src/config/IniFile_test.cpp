#include "config/IniFile.h"

#include <gtest/gtest.h>

#include "config/DownloadFiles.h"
#include "config/TestScratch.h"

// A value is written only when it reads back unchanged; a refused one leaves the old value.
TEST(IniFile, ValuesRoundTripOrAreRefused) {
    fennick_testing::ScratchFolder scratch;
    const std::wstring file = scratch / L"state.ini";
    EXPECT_EQ(ReadIniString(file, L"Main", L"v"), L"ERR");
    const std::pair<std::wstring, bool> cases[] = {
        {L"5000000000", 1}, {L"", 1}, {L"W/\"abc\"", 1}, {L"\u4E2D\u6587 \U0001F600", 1},  // a new file is UTF-16
        {std::wstring(4095, L'x'), 1}, {std::wstring(4096, L'x'), 0},
        {L"1\r\nRetryCount=9", 0}, {L"\"abc\"", 0}, {L"'abc'", 0}, {L" 2", 0}, {std::wstring(L"2\0x", 3), 0},
    };
    std::wstring stored = L"ERR";
    for (const auto& [value, written] : cases) {
        EXPECT_EQ(WriteIniString(file, L"Main", L"v", value), written) << value.substr(0, 20);
        if (written) stored = value;
        EXPECT_EQ(ReadIniString(file, L"Main", L"v"), stored) << value.substr(0, 20);
    }
    EXPECT_FALSE(WriteIniString(L"", L"Main", L"v", L"1")) << "an empty name would mean WIN.INI";
    // Written by someone else, too long for the buffer: missing, never cut short.
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"v", std::wstring(5000, L'y').c_str(), file.c_str()));
    EXPECT_EQ(ReadIniString(file, L"Main", L"v"), L"ERR");
}

// One reading of the recorded size for the installer and its checker. The installer wrote the
// size as a signed 32-bit number before it wrote 64 bits.
TEST(DownloadFiles, RecordedSizeIsASixtyFourBitPrefixOrNothing) {
    fennick_testing::ScratchFolder scratch;
    const std::wstring state = MakeDownloadFiles(scratch / L"", L"setup.exe").strStateFile;
    ASSERT_TRUE(WriteIniString(state, L"Main", L"RetryCount", L"2"));
    EXPECT_FALSE(ReadRecordedSize(state)) << "no size";
    const std::pair<const wchar_t*, std::optional<unsigned long long>> cases[] = {
        {L"6442450944", 6442450944ULL}, {L"abc", std::nullopt}, {L"77kB", 77ULL}, {L"-1", 4294967295ULL},
        {L"-2147483648", 2147483648ULL}, {L"-2147483649", std::nullopt}};
    for (const auto& [text, size] : cases) {
        ASSERT_TRUE(WriteIniString(state, L"Main", L"size", text));
        EXPECT_EQ(ReadRecordedSize(state), size) << text;
    }
}
