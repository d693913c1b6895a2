#include "download/FtpResume.h"

#include <gtest/gtest.h>

TEST(FtpResume, DecidesFromTheRecordedSizeAtSixtyFourBits) {
    const long long k2GiB = 1LL << 31, k5GiB = 5LL << 30;
    using A = FtpResumeAction;
    const struct {
        const wchar_t* recorded;
        long long remote;
        std::optional<unsigned long long> target;
        FtpResumeAction expected;
    } cases[] = {
        {L"ERR", 100, std::nullopt, A::Restart},
        {L"ERR", 100, 100ULL, A::Restart},  // a target without state is stale
        {L"99", 100, 100ULL, A::Restart},
        {L"100", 100, 40ULL, A::Continue},
        {L" 100", 100, 100ULL, A::AlreadyComplete},
        {L"abc", 0, 0ULL, A::AlreadyComplete},  // text without digits reads 0
        {L"5368709120", k5GiB, static_cast<unsigned long long>(k5GiB), A::AlreadyComplete},
        // Low 32 bits alike but another size: not complete.
        {L"5368709120", k5GiB, static_cast<unsigned long long>(k5GiB - (1LL << 32)), A::Continue},
        // What earlier versions recorded for such sizes (low 32 bits, signed) never matches.
        {L"-2147483648", k2GiB, static_cast<unsigned long long>(k2GiB), A::Restart},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideFtpResume(c.recorded, c.remote, c.target), c.expected) << c.recorded << " " << c.remote;
}
