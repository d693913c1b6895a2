#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "config/IniFile.h"
#include "config/ModulePath.h"
#include "config/PathHelper.h"
#include "ui/CompletionMessage.h"
#include "ui/FennickDlg.h"
#include "ui/RetryCounter.h"

namespace {

const DWORD COMPLETION_WAIT_MS = 5000;
const size_t LAUNCH_PATH_CAPACITY = 4096;   // file and directory buffers, terminator included
const wchar_t* const STATE_SECTION = L"Main";
const wchar_t* const COUNTER_KEY = L"RetryCount";

}  // namespace

void CFennickDlg::HandleCompletion(UINT message, WPARAM, LPARAM lParam) {
    if (g_completionMsg == 0 || message != g_completionMsg) return;
    if (lParam != COMPLETION_SUCCESS && lParam != COMPLETION_FAILURE) return;
    // One end per run: the watchdog's failure after a worker's own message changes nothing.
    if (m_bCompletionHandled) return;
    m_bCompletionHandled = true;

    KillTimer(m_hWnd, TIMER_WATCHDOG);
    StopWorker(COMPLETION_WAIT_MS);
    // A progress report that finished during the wait may have armed the watchdog again.
    KillTimer(m_hWnd, TIMER_WATCHDOG);
    if (IsIconic()) ShowWindow(SW_RESTORE);

    if (lParam == COMPLETION_SUCCESS) {
        if (!m_strRetryFile.empty()) WriteIniString(m_strRetryFile, STATE_SECTION, COUNTER_KEY, COUNTER_AFTER_SUCCESS);
        LaunchFile(m_strTargetPath);
    } else if (m_strRetryFile.empty()) {
        // The worker ended before it knew its files: nothing to count.
        ShowErrorMessage();
    } else {
        const FailureDecision decision = DecideAfterFailure(ReadIniString(m_strRetryFile, STATE_SECTION, COUNTER_KEY));
        // A state file that cannot be written does not stop the hand-off.
        WriteIniString(m_strRetryFile, STATE_SECTION, COUNTER_KEY, decision.newCounter);
        if (decision.action == FailureAction::StartErrorChecker) {
            StartErrorChecker();
        } else {
            ShowErrorMessage();
        }
    }
    ::PostMessageW(m_hWnd, WM_QUIT, 0, 0);
}

void CFennickDlg::StartErrorChecker() const {
    std::wstring checkerPath;
    if (MakeModuleFilePath(nullptr, L"QXChkErr.exe", checkerPath, LAUNCH_PATH_CAPACITY) == 1) LaunchFile(checkerPath);
}

void CFennickDlg::ShowErrorMessage() {
    const std::wstring text = m_lang.GetString(4);
    const std::wstring caption = m_lang.GetString(1);
    MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_OK | MB_ICONHAND);
}

void CFennickDlg::LaunchFile(std::wstring path) const {
    // A path that does not fit the buffers is not started rather than started cut short.
    if (path.empty() || path.size() >= LAUNCH_PATH_CAPACITY) return;
    std::vector<wchar_t> file(path.begin(), path.end());
    file.push_back(L'\0');
    std::vector<wchar_t> directory(file);
    CPathHelper().StripFileName(directory.data());

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No UI: a failure is dropped silently, also where the shell would ask about a file type.
    // No async: the program ends right after this call.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = file.data();
    info.lpDirectory = directory.data();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        static_cast<void>(error);
    }
}
