#include "ui/RetryCounter.h"

#include <gtest/gtest.h>

TEST(RetryCounter, FourFailuresStartTheCheckerTheFifthShowsTheMessage) {
    const auto checker = FailureAction::StartErrorChecker, message = FailureAction::ShowErrorMessage;
    const struct {
        const wchar_t* stored;
        FailureAction action;
        const wchar_t* counter;
    } cases[] = {
        {L"ERR", checker, L"1"}, {L"3", checker, L"4"}, {L"4", message, L"0"}, {L"17", message, L"0"},
        {L" 2x", checker, L"3"},  // read as a signed decimal prefix
        {L"-5", checker, L"1"},   // a negative count would never reach the message: it counts as 0
        // Far beyond 64 bits: saturates instead of wrapping to a small or negative count.
        {L"99999999999999999999", message, L"0"}, {L"-99999999999999999999", checker, L"1"},
    };
    for (const auto& c : cases) {
        const FailureDecision decision = DecideAfterFailure(c.stored);
        EXPECT_EQ(decision.action, c.action) << c.stored;
        EXPECT_EQ(decision.newCounter, c.counter) << c.stored;
    }
}
