#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <vector>

#include "WideDecimal.h"
#include "config/IniFile.h"
#include "config/ModulePath.h"
#include "config/PathHelper.h"
#include "download/DownloadFileOps.h"
#include "ui/CompletionMessage.h"
#include "ui/FennickDlg.h"
#include "ui/RetryCounter.h"

namespace {

const DWORD COMPLETION_WAIT_MS = 5000;
const wchar_t* const STATE_SECTION = L"Main";
const wchar_t* const COUNTER_KEY = L"RetryCount";
const DWORD SYSTEM_MESSAGE_CAPACITY = 1024;

// The shell may hand the start to COM objects; its documentation asks for an apartment.
class ComApartment {
public:
    ComApartment() : m_initialised(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (m_initialised) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_initialised;
};

// Errors that say the file is not a program this Windows can run: fetching it again is the
// only way forward.
bool IsNotAProgram(DWORD error) {
    switch (error) {
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_BAD_FORMAT:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_EXE_MARKED_INVALID:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
    case ERROR_NO_ASSOCIATION:
        return true;
    default:
        return false;
    }
}

// The system's sentence for an error, without its line break; the number when there is none.
std::wstring SystemMessage(DWORD error) {
    wchar_t text[SYSTEM_MESSAGE_CAPACITY] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, SYSTEM_MESSAGE_CAPACITY, nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) --length;
    if (length == 0) return L"Error " + WideDecimal(error);
    return std::wstring(text, length);
}

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
        const DWORD error = LaunchFile(m_strTargetPath);
        // A declined elevation is the user's answer: nothing to say, and the file stays.
        if (error != ERROR_SUCCESS && error != ERROR_CANCELLED) ReportFailedStart(error);
    } else if (m_strRetryFile.empty()) {
        // The worker ended before it knew its files: nothing to count.
        ShowErrorMessage();
    } else {
        const FailureDecision decision = DecideAfterFailure(ReadIniString(m_strRetryFile, STATE_SECTION, COUNTER_KEY));
        // A state file that cannot be written does not stop the hand-off.
        WriteIniString(m_strRetryFile, STATE_SECTION, COUNTER_KEY, decision.newCounter);
        // Without the checker the user would be left with nothing: the error message says it.
        if (decision.action != FailureAction::StartErrorChecker || !StartErrorChecker()) {
            ShowErrorMessage();
        }
    }
    ::PostMessageW(m_hWnd, WM_QUIT, 0, 0);
}

bool CFennickDlg::StartErrorChecker() const {
    std::wstring checkerPath;
    if (MakeModuleFilePath(nullptr, L"QXChkErr.exe", checkerPath) != 1) return false;
    return LaunchFile(checkerPath) == ERROR_SUCCESS;
}

void CFennickDlg::ReportFailedStart(DWORD error) {
    if (IsNotAProgram(error)) {
        // The next run must fetch the file again, not find it complete and fail the same way.
        // A scanner may still hold the file it just refused: the same retries as the download's.
        DeleteFileIfPresent(m_strTargetPath);
        if (!m_strRetryFile.empty()) DeleteFileIfPresent(m_strRetryFile);
    }
    const std::wstring text = m_lang.GetString(5) + L"\r\n" + SystemMessage(error);
    const std::wstring caption = m_lang.GetString(1);
    MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_OK | MB_ICONHAND);
}

void CFennickDlg::ShowErrorMessage() {
    const std::wstring text = m_lang.GetString(4);
    const std::wstring caption = m_lang.GetString(1);
    MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_OK | MB_ICONHAND);
}

DWORD CFennickDlg::LaunchFile(std::wstring path) const {
    // A path that does not fit the buffers is not started rather than started cut short.
    if (path.empty()) return ERROR_FILE_NOT_FOUND;
    // The shell's start of a file is not long-path aware: past MAX_PATH it is refused here.
    if (path.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    std::vector<wchar_t> file(path.begin(), path.end());
    file.push_back(L'\0');
    std::vector<wchar_t> directory(file);
    CPathHelper().StripFileName(directory.data());

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No UI: the caller reports a failure in its own words, also where the shell would ask
    // about a file type. No async: the program ends right after this call.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = file.data();
    info.lpDirectory = directory.data();
    info.nShow = SW_SHOWNORMAL;
    const ComApartment apartment;
    if (ShellExecuteExW(&info)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
}
