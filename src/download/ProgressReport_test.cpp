#include "download/ProgressReport.h"

#include <gtest/gtest.h>

#include "config/TestScratch.h"
#include "download/ProgressText.h"

TEST(ProgressText, PercentTruncatesAndMegabytesCountWholeMegabytesOfTheTotal) {
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(999)), L"99%");
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(1500)), L"150%") << "not clamped";
    EXPECT_EQ(FormatMegabytesText(500, 15728640), L"7.5MB / 15.0MB");
    EXPECT_EQ(FormatMegabytesText(1000, 20000000), L"19.0MB / 19.0MB") << "the remainder is dropped";
    EXPECT_EQ(FormatMegabytesText(1000, (1ULL << 32) + (1ULL << 20)), L"4097.0MB / 4097.0MB");
}

// The total is learned from the state file while the transfer runs; 0 means still unknown.
TEST(ProgressReport, RecordedTotalIsAPositiveSixtyFourBitNumberOrUnknown) {
    fennick_testing::ScratchFolder scratch;
    const std::wstring state = scratch / L"setup.exe_tmp_sz";
    EXPECT_EQ(ReadRecordedTotalSize(state), 0u);
    const std::pair<const char*, unsigned long long> cases[] = {
        {"[Main]\r\nRetryCount=2\r\n", 0}, {"[Main]\r\nsize=6442450944\r\n", 6442450944ULL},
        {"[Main]\r\nsize=abc\r\n", 0}, {"[Main]\r\nsize=-1294967296\r\n", 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(fennick_testing::WriteBytes(state, c.first));
        EXPECT_EQ(ReadRecordedTotalSize(state), c.second) << c.first;
    }
}
