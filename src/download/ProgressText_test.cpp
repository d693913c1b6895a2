#include "download/ProgressText.h"

#include <gtest/gtest.h>

TEST(ProgressText, PercentRoundsTowardsZeroAndIsNotClamped) {
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(0)), L"0%");
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(999)), L"99%");
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(1000)), L"100%");
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(1500)), L"150%");
}

TEST(ProgressText, MegabytesCountWholeMegabytesOfTheTotal) {
    EXPECT_EQ(FormatMegabytesText(500, 15728640), L"7.5MB / 15.0MB");
    EXPECT_EQ(FormatMegabytesText(1000, 20000000), L"19.0MB / 19.0MB") << "the remainder is dropped";
    EXPECT_EQ(FormatMegabytesText(1000, 1048575), L"0.0MB / 0.0MB");
    EXPECT_EQ(FormatMegabytesText(1000, (1ULL << 32) + (1ULL << 20)), L"4097.0MB / 4097.0MB") << "64-bit total";
}
