#include "ui/RetryCounter.h"

#include <gtest/gtest.h>

namespace {

void ExpectDecision(const std::wstring& stored, FailureAction action, const std::wstring& counter) {
    const FailureDecision decision = DecideAfterFailure(stored);
    EXPECT_EQ(decision.action, action) << "stored: " << std::string(stored.begin(), stored.end());
    EXPECT_EQ(decision.newCounter, counter) << "stored: " << std::string(stored.begin(), stored.end());
}

}  // namespace

TEST(RetryCounter, FirstFourFailuresStartTheCheckerAndTheFifthShowsTheMessage) {
    ExpectDecision(L"ERR", FailureAction::StartErrorChecker, L"1");
    ExpectDecision(L"1", FailureAction::StartErrorChecker, L"2");
    ExpectDecision(L"2", FailureAction::StartErrorChecker, L"3");
    ExpectDecision(L"3", FailureAction::StartErrorChecker, L"4");
    ExpectDecision(L"4", FailureAction::ShowErrorMessage, L"0");
    ExpectDecision(L"0", FailureAction::StartErrorChecker, L"1");
}

TEST(RetryCounter, StoredTextIsReadAsASignedDecimalPrefix) {
    ExpectDecision(L"abc", FailureAction::StartErrorChecker, L"1");
    ExpectDecision(L" 3", FailureAction::StartErrorChecker, L"4");
    ExpectDecision(L"2x", FailureAction::StartErrorChecker, L"3");
    ExpectDecision(L"-5", FailureAction::StartErrorChecker, L"1");
    ExpectDecision(L"17", FailureAction::ShowErrorMessage, L"0");
    ExpectDecision(L"", FailureAction::StartErrorChecker, L"1");
    // Only the exact text "ERR" means missing.
    ExpectDecision(L"err", FailureAction::StartErrorChecker, L"1");
    // Far beyond 32 bits: saturates instead of wrapping to a small or negative count.
    ExpectDecision(L"99999999999999999999", FailureAction::ShowErrorMessage, L"0");
    ExpectDecision(L"-99999999999999999999", FailureAction::StartErrorChecker, L"1");
}
