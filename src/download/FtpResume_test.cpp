#include "download/FtpResume.h"

#include <gtest/gtest.h>

TEST(FtpResume, DecidesFromTheRecordedSizeAtSixtyFourBits) {
    using A = FtpResumeAction;
    const struct {
        std::optional<unsigned long long> recorded;
        long long remote;
        std::optional<unsigned long long> target;
        FtpResumeAction expected;
    } cases[] = {
        {std::nullopt, 100, std::nullopt, A::Restart}, {std::nullopt, 100, 100ULL, A::Restart},  // a target without state is stale
        {99ULL, 100, 100ULL, A::Restart}, {100ULL, 100, 40ULL, A::Continue}, {100ULL, 100, 100ULL, A::AlreadyComplete},
        {0ULL, -1, 0ULL, A::Restart},  // the server told no size
        {5ULL << 30, 5LL << 30, 5ULL << 30, A::AlreadyComplete},
        // Low 32 bits alike but another size: neither complete nor the same file.
        {5ULL << 30, 5LL << 30, 1ULL << 30, A::Continue}, {1ULL << 30, 5LL << 30, 1ULL << 30, A::Restart},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideFtpResume(c.recorded, c.remote, c.target), c.expected) << c.recorded.value_or(0) << " " << c.remote;
}
