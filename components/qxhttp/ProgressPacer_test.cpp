#include <gtest/gtest.h>

#include "ProgressPacer.h"

TEST(ProgressPacer, ReportsChangesAndOtherwiseOncePerInterval) {
    ProgressPacer pacer(1000);
    int perMille = -1;
    ASSERT_TRUE(pacer.OnBytes(10, 1000, 5000, perMille));
    EXPECT_EQ(perMille, 10);
    EXPECT_FALSE(pacer.OnBytes(10, 1000, 5001, perMille)) << "same value, too soon";
    ASSERT_TRUE(pacer.OnBytes(11, 1000, 5002, perMille));
    EXPECT_EQ(perMille, 11);
    EXPECT_FALSE(pacer.OnBytes(11, 1000, 6001, perMille));
    EXPECT_TRUE(pacer.OnBytes(11, 1000, 6002, perMille)) << "bytes arrive, a second has passed";
    EXPECT_EQ(perMille, 11);
}

TEST(ProgressPacer, CompletionIsReportedExactlyOnce) {
    ProgressPacer pacer;
    int perMille = -1;
    ASSERT_TRUE(pacer.OnBytes(1000, 1000, 0, perMille));
    EXPECT_EQ(perMille, 1000);
    EXPECT_FALSE(pacer.OnComplete(perMille));

    ProgressPacer other;
    ASSERT_TRUE(other.OnComplete(perMille)) << "a file found complete reports 1000";
    EXPECT_EQ(perMille, 1000);
}

TEST(ProgressPacer, PerMilleHoldsForHugeTotals) {
    EXPECT_EQ(ProgressPacer::PerMille(0, 6000000000ull), 0);
    EXPECT_EQ(ProgressPacer::PerMille(3000000000ull, 6000000000ull), 500);
    EXPECT_EQ(ProgressPacer::PerMille(5999999999ull, 6000000000ull), 999);
    const uint64_t huge = 18000000000000000000ull;
    EXPECT_EQ(ProgressPacer::PerMille(huge / 2, huge), 500);
    EXPECT_EQ(ProgressPacer::PerMille(huge - 1, huge), 999);
    EXPECT_EQ(ProgressPacer::PerMille(7, 0), 1000);
}
