#include "ui/RetryCounter.h"

#include "WideDecimal.h"
#include "config/DecimalText.h"

FailureDecision DecideAfterFailure(const std::wstring& storedCounter) {
    if (storedCounter == L"ERR") return FailureDecision{FailureAction::StartErrorChecker, L"1"};
    // A negative count would never reach the error message: it counts as 0, as text does.
    const long long parsed = ParseDecimalPrefix(storedCounter);
    const long long count = parsed < 0 ? 0 : parsed;
    if (count < FAILURES_BEFORE_ERROR_MESSAGE) {
        return FailureDecision{FailureAction::StartErrorChecker, WideDecimal(count + 1)};
    }
    return FailureDecision{FailureAction::ShowErrorMessage, COUNTER_AFTER_SUCCESS};
}
