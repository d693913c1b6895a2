#pragma once
#include <string>

// The failure counter kept as "RetryCount" in section "Main" of a download's state file.
// A success stores COUNTER_AFTER_SUCCESS; a failure is decided from the stored text here.
constexpr const wchar_t* COUNTER_AFTER_SUCCESS = L"0";
constexpr long long FAILURES_BEFORE_ERROR_MESSAGE = 4;

enum class FailureAction { StartErrorChecker, ShowErrorMessage };

struct FailureDecision {
    FailureAction action;
    std::wstring newCounter;   // written before the action is taken
};

// storedCounter is the text read with the default "ERR" ("ERR" exactly = missing).
// Missing -> checker, "1". A value below 4 (non-numbers and negatives count as 0)
// -> checker, value + 1. 4 or more -> error message, "0".
FailureDecision DecideAfterFailure(const std::wstring& storedCounter);
