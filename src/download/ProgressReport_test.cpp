#include "download/ProgressReport.h"

#include <gtest/gtest.h>

#include "config/DownloadFiles.h"
#include "config/TestScratch.h"
#include "download/ProgressText.h"

TEST(ProgressText, PercentTruncatesAndMegabytesCountWholeMegabytesOfTheTotal) {
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(999)), L"99%");
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(1500)), L"150%") << "not clamped";
    EXPECT_EQ(FormatMegabytesText(500, 15728640), L"7.5MB / 15.0MB");
    EXPECT_EQ(FormatMegabytesText(1000, 20000000), L"19.0MB / 19.0MB") << "the remainder is dropped";
    EXPECT_EQ(FormatMegabytesText(1000, (1ULL << 32) + (1ULL << 20)), L"4097.0MB / 4097.0MB");
}

// One reading of the recorded size for the installer and its checker. The installer wrote the
// size as a signed 32-bit number before it wrote 64 bits.
TEST(DownloadFiles, RecordedSizeIsASixtyFourBitPrefixOrNothing) {
    fennick_testing::ScratchFolder scratch;
    const std::wstring state = MakeDownloadFiles(scratch / L"", L"setup.exe").strStateFile;
    EXPECT_EQ(state, scratch / L"setup.exe_tmp_sz");
    EXPECT_FALSE(ReadRecordedSize(state)) << "no file";
    const std::pair<const char*, std::optional<unsigned long long>> cases[] = {
        {"[Main]\r\nRetryCount=2\r\n", std::nullopt}, {"[Main]\r\nsize=6442450944\r\n", 6442450944ULL},
        {"[Main]\r\nsize=abc\r\n", std::nullopt},    {"[Main]\r\nsize=77kB\r\n", 77ULL},
        {"[Main]\r\nsize=-1\r\n", 4294967295ULL},    {"[Main]\r\nsize=-2147483648\r\n", 2147483648ULL},
        {"[Main]\r\nsize=-2147483649\r\n", std::nullopt}};
    for (const auto& c : cases) {
        ASSERT_TRUE(fennick_testing::WriteBytes(state, c.first));
        EXPECT_EQ(ReadRecordedSize(state), c.second) << c.first;
    }
}
