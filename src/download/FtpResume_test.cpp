#include "download/FtpResume.h"

#include <gtest/gtest.h>

namespace {
const long long k2GiB = 2147483648LL;
const long long k5GiB = 5LL << 30;
}  // namespace

TEST(FtpResume, MissingOrDifferentRecordedSizeRestarts) {
    EXPECT_EQ(DecideFtpResume(L"ERR", 100, std::nullopt), FtpResumeAction::Restart);
    EXPECT_EQ(DecideFtpResume(L"ERR", 100, 100ULL), FtpResumeAction::Restart) << "a target without state is stale";
    EXPECT_EQ(DecideFtpResume(L"99", 100, 100ULL), FtpResumeAction::Restart);
    EXPECT_EQ(DecideFtpResume(L"abc", 100, std::nullopt), FtpResumeAction::Restart);
}

TEST(FtpResume, SameSizeContinuesUnlessTheTargetIsComplete) {
    EXPECT_EQ(DecideFtpResume(L"100", 100, std::nullopt), FtpResumeAction::Continue);
    EXPECT_EQ(DecideFtpResume(L"100", 100, 40ULL), FtpResumeAction::Continue);
    EXPECT_EQ(DecideFtpResume(L"100", 100, 100ULL), FtpResumeAction::AlreadyComplete);
    EXPECT_EQ(DecideFtpResume(L" 100", 100, 100ULL), FtpResumeAction::AlreadyComplete);
    EXPECT_EQ(DecideFtpResume(L"abc", 0, 0ULL), FtpResumeAction::AlreadyComplete) << "text without digits reads 0";
}

TEST(FtpResume, SizesFrom2GiBUpAreComparedWithAllTheirBits) {
    EXPECT_EQ(DecideFtpResume(L"2147483648", k2GiB, std::nullopt), FtpResumeAction::Continue);
    EXPECT_EQ(DecideFtpResume(L"2147483648", k2GiB, static_cast<unsigned long long>(k2GiB)),
              FtpResumeAction::AlreadyComplete);
    EXPECT_EQ(DecideFtpResume(L"5368709120", k5GiB, static_cast<unsigned long long>(k5GiB)),
              FtpResumeAction::AlreadyComplete);
    // A target whose low 32 bits match but whose size differs is not complete.
    EXPECT_EQ(DecideFtpResume(L"5368709120", k5GiB, static_cast<unsigned long long>(k5GiB - (1LL << 32))),
              FtpResumeAction::Continue);
    // What earlier versions recorded for such sizes (the low 32 bits, signed) never matches.
    EXPECT_EQ(DecideFtpResume(L"-2147483648", k2GiB, static_cast<unsigned long long>(k2GiB)),
              FtpResumeAction::Restart);
    EXPECT_EQ(DecideFtpResume(L"1073741824", k5GiB, std::nullopt), FtpResumeAction::Restart);
}
