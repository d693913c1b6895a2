#include <gtest/gtest.h>

#include "ContentRange.h"
#include "HeaderNumber.h"

TEST(HeaderNumber, ReadsPlainDecimalsUpTo64Bits) {
    uint64_t value = 0;
    EXPECT_TRUE(ParseUnsigned64(L"0", value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(ParseUnsigned64(L" 5000000000 ", value));
    EXPECT_EQ(value, 5000000000ull);
    EXPECT_TRUE(ParseUnsigned64(L"18446744073709551615", value));
    EXPECT_EQ(value, 18446744073709551615ull);
    EXPECT_EQ(FormatUnsigned64(18446744073709551615ull), L"18446744073709551615");
    EXPECT_EQ(FormatUnsigned64(0), L"0");
}

TEST(HeaderNumber, RefusesAnythingThatIsNotExactlyANumber) {
    uint64_t value = 7;
    for (const wchar_t* text : {L"", L"  ", L"-1", L"+1", L"12a", L"1 2", L"0x10", L"18446744073709551616",
                                L"99999999999999999999999"}) {
        EXPECT_FALSE(ParseUnsigned64(text, value)) << text;
    }
    EXPECT_EQ(value, 7u);
}

TEST(ContentRange, ReadsTheThreeForms) {
    ContentRange range;
    ASSERT_TRUE(ParseContentRange(L"bytes 100-199/200", range));
    EXPECT_TRUE(range.hasRange);
    EXPECT_EQ(range.first, 100u);
    EXPECT_EQ(range.last, 199u);
    EXPECT_TRUE(range.totalKnown);
    EXPECT_EQ(range.total, 200u);

    ASSERT_TRUE(ParseContentRange(L"Bytes 0-9/*", range));
    EXPECT_TRUE(range.hasRange);
    EXPECT_FALSE(range.totalKnown);

    ASSERT_TRUE(ParseContentRange(L"bytes */6000000000", range));
    EXPECT_FALSE(range.hasRange);
    EXPECT_EQ(range.total, 6000000000ull);

    ASSERT_TRUE(ParseContentRange(L"bytes 4294967296-5999999999/6000000000", range));
    EXPECT_EQ(range.first, 4294967296ull);
}

TEST(ContentRange, RefusesMalformedOrInconsistentValues) {
    ContentRange range;
    for (const wchar_t* text :
         {L"", L"bytes", L"bytes=0-9/10", L"items 0-9/10", L"bytes 0-9", L"bytes 9-0/10", L"bytes 0-10/10",
          L"bytes */*", L"bytes -1-9/10", L"bytes 0 - 9/10", L"bytes 0-9/1x", L"bytes 0-99999999999999999999/*",
          L"bytes 0-9/10/11", L"bytes0-9/10"}) {
        EXPECT_FALSE(ParseContentRange(text, range)) << text;
    }
}
