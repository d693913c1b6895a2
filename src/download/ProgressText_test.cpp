#include "download/ProgressText.h"

#include <gtest/gtest.h>

TEST(ProgressText, PercentTruncatesAndMegabytesCountWholeMegabytesOfTheTotal) {
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(999)), L"99%");
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(1500)), L"150%") << "not clamped";
    EXPECT_EQ(FormatMegabytesText(500, 15728640), L"7.5MB / 15.0MB");
    EXPECT_EQ(FormatMegabytesText(1000, 20000000), L"19.0MB / 19.0MB") << "the remainder is dropped";
    EXPECT_EQ(FormatMegabytesText(1000, (1ULL << 32) + (1ULL << 20)), L"4097.0MB / 4097.0MB");
}
