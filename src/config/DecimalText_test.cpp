#include "config/DecimalText.h"

#include <gtest/gtest.h>

#include <climits>

TEST(DecimalText, ReadsLikeAtoiAtSixtyFourBitsAndSaturates) {
    EXPECT_EQ(ParseDecimalPrefix(L" \t\r\n42abc"), 42);
    EXPECT_EQ(ParseDecimalPrefix(L"-17"), -17);
    EXPECT_EQ(ParseDecimalPrefix(L"+5"), 5);
    EXPECT_EQ(ParseDecimalPrefix(L""), 0);
    EXPECT_EQ(ParseDecimalPrefix(L"ERR"), 0);
    EXPECT_EQ(ParseDecimalPrefix(L"- 5"), 0);
    EXPECT_EQ(ParseDecimalPrefix(L"4294967296"), 4294967296LL);
    EXPECT_EQ(ParseDecimalPrefix(L"9223372036854775807"), LLONG_MAX);
    EXPECT_EQ(ParseDecimalPrefix(L"9223372036854775808"), LLONG_MAX);
    EXPECT_EQ(ParseDecimalPrefix(L"99999999999999999999999"), LLONG_MAX);
    EXPECT_EQ(ParseDecimalPrefix(L"-9223372036854775808"), LLONG_MIN);
    EXPECT_EQ(ParseDecimalPrefix(L"-9223372036854775809"), LLONG_MIN);
}
