#include <gtest/gtest.h>

#include "ContentRange.h"

TEST(ContentRange, ReadsTheThreeFormsAndRefusesInconsistentOnes) {
    const struct {
        const wchar_t* text;
        bool hasRange, totalKnown;
        uint64_t first, last, total;
    } accepted[] = {
        {L"bytes 100-199/200", true, true, 100, 199, 200},
        {L"Bytes 0-9/*", true, false, 0, 9, 0},
        {L"bytes */6000000000", false, true, 0, 0, 6000000000ull},
        {L"bytes 4294967296-5999999999/6000000000", true, true, 4294967296ull, 5999999999ull, 6000000000ull},
    };
    for (const auto& c : accepted) {
        ContentRange range;
        ASSERT_TRUE(ParseContentRange(c.text, range)) << c.text;
        EXPECT_EQ(range.hasRange, c.hasRange) << c.text;
        EXPECT_EQ(range.totalKnown, c.totalKnown) << c.text;
        if (c.hasRange) { EXPECT_EQ(range.last - range.first, c.last - c.first) << c.text; }
        if (c.hasRange) { EXPECT_EQ(range.first, c.first) << c.text; }
        if (c.totalKnown) { EXPECT_EQ(range.total, c.total) << c.text; }
    }
    ContentRange range;
    for (const wchar_t* text :
         {L"", L"bytes", L"bytes=0-9/10", L"items 0-9/10", L"bytes 0-9", L"bytes 9-0/10", L"bytes 0-10/10",
          L"bytes */*", L"bytes -1-9/10", L"bytes 0 - 9/10", L"bytes 0-9/1x", L"bytes 0-99999999999999999999/*",
          L"bytes 0-9/10/11", L"bytes0-9/10"})
        EXPECT_FALSE(ParseContentRange(text, range)) << text;
}
