#include "ui/RetryCounter.h"

#include "config/DecimalText.h"

FailureDecision DecideAfterFailure(const std::wstring& storedCounter) {
    if (storedCounter == L"ERR") return FailureDecision{FailureAction::StartErrorChecker, L"1"};
    const long long count = ParseDecimalPrefix(storedCounter);
    if (count < FAILURES_BEFORE_ERROR_MESSAGE) {
        return FailureDecision{FailureAction::StartErrorChecker, std::to_wstring(count + 1)};
    }
    return FailureDecision{FailureAction::ShowErrorMessage, COUNTER_AFTER_SUCCESS};
}
