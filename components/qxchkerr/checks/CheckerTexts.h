#pragma once
#include <functional>
#include <string>

#include "checks/CheckFinding.h"

// Text numbers of QXChkErr.exe in FENNICKMSG.MLG (its range is 100-199). Every number has a
// built-in English text that is shown when the language library does not deliver one.
enum CheckerTextNumber {
    TEXT_CAPTION = 100,
    TEXT_HEADLINE_RUNNING = 101,
    TEXT_HEADLINE_PROBLEM = 102,
    TEXT_HEADLINE_NO_PROBLEM = 103,
    TEXT_BUTTON_RETRY = 104,
    TEXT_BUTTON_CLOSE = 105,
    TEXT_WAITING_FOR_SETUP = 106,
    TEXT_SETUP_STILL_RUNNING = 107,
    TEXT_SETUP_NOT_STARTED = 108,

    TEXT_STATUS_WAITING = 110,  // 110 + CheckStatus
    TEXT_STATUS_LAST = 114,

    TEXT_CHECK_TITLE_FIRST = 120,  // 120 + CheckId
    TEXT_CHECK_TITLE_LAST = 125,

    TEXT_PROBLEM_FIRST = 130,  // 130 + CheckProblem - 1 (CheckProblem::None has no text)
    TEXT_PROBLEM_LAST = 160,
    TEXT_FTP_FOLDER_UNREACHABLE = 164,  // numbered apart: the problems after EarlierCheckFailed

    TEXT_PROXY_PROBLEM_FIRST = 161,  // 161 + CheckProblem - ProxyUnreachable; "%1" stands for the proxy
    TEXT_PROXY_PROBLEM_LAST = 163,
};

int StatusTextNumber(CheckStatus status);
int CheckTitleTextNumber(CheckId id);
// 0 for CheckProblem::None and for a check skipped because an earlier one failed: the status
// "Not checked" says all there is to say.
int ProblemTextNumber(CheckProblem problem);

// The text as shown: "%1" replaced by the proxy's "host:port".
std::wstring WithProxyName(std::wstring text, const std::wstring& proxy);

// The built-in English text of a number; empty for a number that is not ours.
std::wstring BuiltInEnglishText(int number);

// Texts from a source (the language library), each falling back to its built-in English text
// when the source delivers nothing.
class CCheckerTexts {
public:
    explicit CCheckerTexts(std::function<std::wstring(int)> source) : m_source(std::move(source)) {}
    std::wstring Get(int number) const;

private:
    std::function<std::wstring(int)> m_source;
};
