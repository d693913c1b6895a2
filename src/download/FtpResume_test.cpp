#include "download/FtpResume.h"

#include <gtest/gtest.h>

TEST(FtpResume, DecidesFromTheRecordedSizeAtSixtyFourBits) {
    const long long k5GiB = 5LL << 30;
    using A = FtpResumeAction;
    const struct {
        std::optional<unsigned long long> recorded;
        long long remote;
        std::optional<unsigned long long> target;
        FtpResumeAction expected;
    } cases[] = {
        {std::nullopt, 100, std::nullopt, A::Restart},
        {std::nullopt, 100, 100ULL, A::Restart},  // a target without state is stale
        {99ULL, 100, 100ULL, A::Restart},
        {100ULL, 100, 40ULL, A::Continue},
        {100ULL, 100, 100ULL, A::AlreadyComplete},
        {0ULL, -1, 0ULL, A::Restart},
        {5ULL << 30, k5GiB, static_cast<unsigned long long>(k5GiB), A::AlreadyComplete},
        // Low 32 bits alike but another size: not complete.
        {5ULL << 30, k5GiB, static_cast<unsigned long long>(k5GiB - (1LL << 32)), A::Continue},
        {1ULL << 30, k5GiB, 1ULL << 30, A::Restart},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideFtpResume(c.recorded, c.remote, c.target), c.expected) << c.recorded.value_or(0) << " " << c.remote;
}
