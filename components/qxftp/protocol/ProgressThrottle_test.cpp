#include "protocol/ProgressThrottle.h"

#include <gtest/gtest.h>

namespace qxftp {
namespace {

TEST(ProgressThrottle, PerMilleIsExactAcrossTheSixtyFourBitRange) {
    EXPECT_EQ(PerMille(0, 100), 0);
    EXPECT_EQ(PerMille(1, 1000), 1);
    EXPECT_EQ(PerMille(999, 1000), 999);
    EXPECT_EQ(PerMille(1000, 1000), 1000);
    EXPECT_EQ(PerMille(5, 0), 1000);
    EXPECT_EQ(PerMille(2000, 1000), 1000);
    EXPECT_EQ(PerMille(3ull << 31, 6ull << 31), 500);  // 3 GiB of 6 GiB
    EXPECT_EQ(PerMille(UINT64_MAX - 1, UINT64_MAX), 999);
    EXPECT_EQ(PerMille(UINT64_MAX / 2, UINT64_MAX), 499);
}

TEST(ProgressThrottle, ReportsChangesAndAtLeastOncePerIntervalWhileDataArrives) {
    ProgressThrottle throttle(1000);
    EXPECT_TRUE(throttle.ShouldReport(0, 5000));    // first data
    EXPECT_FALSE(throttle.ShouldReport(0, 5100));   // nothing new
    EXPECT_FALSE(throttle.ShouldReport(0, 5999));
    EXPECT_TRUE(throttle.ShouldReport(0, 6000));    // a second since the last report
    EXPECT_TRUE(throttle.ShouldReport(1, 6001));    // value changed
    EXPECT_TRUE(throttle.ShouldReport(2, 6002));
    EXPECT_FALSE(throttle.ShouldReport(2, 6500));
    EXPECT_TRUE(throttle.ShouldReport(2, 7002));
    // A clock that goes backwards must not silence the reports for a long time.
    EXPECT_TRUE(throttle.ShouldReport(2, 100));
}

}  // namespace
}  // namespace qxftp
