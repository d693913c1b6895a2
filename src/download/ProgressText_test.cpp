#include "download/ProgressText.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(ProgressText, PercentTruncatesAndMegabytesCountWholeMegabytesOfTheTotal) {
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(999)), L"99%");
    EXPECT_EQ(FormatPercentText(PercentFromPerMille(1500)), L"150%") << "not clamped";
    EXPECT_EQ(FormatMegabytesText(500, 15728640), L"7.5MB / 15.0MB");
    EXPECT_EQ(FormatMegabytesText(1000, 20000000), L"19.0MB / 19.0MB") << "the remainder is dropped";
    EXPECT_EQ(FormatMegabytesText(1000, (1ULL << 32) + (1ULL << 20)), L"4097.0MB / 4097.0MB");
}

// Our "%.1f" against the C library's, at the values where rounding is decided: exact ties (to
// even), values just off a tie either way, and every per-mille step of totals with odd tenths.
TEST(ProgressText, OneDecimalIsTheCLibrarysText) {
    std::vector<double> values = {0.0, -0.0, 0.05, 0.15, 0.25, 0.35, 0.45, 0.75, 0.95, 1.25, 2.5, 9.95, 99.95,
                                  1048575.95, 0.049999999999999996, 0.25000000000000006, 1e-300, -0.25, -0.04,
                                  17592186044415.0, 123456789.25, 36028797018963968.0};
    for (unsigned long long megabytes : {1ULL, 3ULL, 7ULL, 1234ULL, 65535ULL, (1ULL << 44) - 1})
        for (int perMille = 0; perMille <= 1000; ++perMille) values.push_back(perMille * double(megabytes) * 0.001);
    for (double value : values) {
        char expected[64];
        snprintf(expected, sizeof expected, "%.1f", value);
        ASSERT_EQ(FormatOneDecimal(value), expected) << value;
    }
    EXPECT_EQ(FormatOneDecimal(1e300), "") << "beyond 2^56: an error, never a wrong text";
}
