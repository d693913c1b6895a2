#include "app/CheckerWindow.h"

#include <commctrl.h>

#include "WideDecimal.h"
#include "checks/DetachedThread.h"

#include "app/resource.h"
#include "checks/InstallerRestart.h"

namespace {

// Posted by the worker threads to the window.
const UINT WM_CHECK_PROGRESS = WM_APP + 1;  // wParam CheckId, lParam MAKELPARAM(status, problem)
const UINT WM_CHECKS_DONE = WM_APP + 2;
const UINT WM_RETRY_DONE = WM_APP + 3;  // wParam RetryOutcome

enum RetryOutcome { RETRY_STARTED, RETRY_STILL_RUNNING, RETRY_START_FAILED, RETRY_CANCELLED };

// Retry waits this long for the installer that started us to release its mutex. The installer
// waits at most about 6 s for its worker after a failure; this leaves room for a slow machine.
const DWORD INSTALLER_END_TIMEOUT_MS = 30000;
const DWORD INSTALLER_POLL_MS = 100;

const wchar_t* CheckName(CheckId id) {
    static const wchar_t* const names[CHECK_COUNT] = {L"address", L"host name", L"connection",
                                                      L"server",  L"folder",    L"disk room"};
    return names[static_cast<int>(id)];
}

// Reports to the window from the checks' thread, and logs each finding's technical detail.
class CPostingObserver : public ICheckObserver {
public:
    CPostingObserver(HWND hWnd, const std::atomic<bool>& stop, CSrwLock& proxyLock, std::wstring& proxy)
        : m_hWnd(hWnd), m_stop(stop), m_proxyLock(proxyLock), m_proxy(proxy) {}
    void OnCheckStarted(CheckId id) override {
        PostMessageW(m_hWnd, WM_CHECK_PROGRESS, static_cast<WPARAM>(id),
                     MAKELPARAM(static_cast<WORD>(CheckStatus::Running), 0));
    }
    void OnCheckFinished(CheckId id, const CheckFinding& finding) override {
        const std::wstring line = std::wstring(L"QXChkErr: ") + CheckName(id) + L": " +
                                  WideDecimal(static_cast<int>(finding.status)) + L"/" +
                                  WideDecimal(static_cast<int>(finding.problem)) + L" " + finding.detail;
        OutputDebugStringW(line.c_str());
        if (!finding.proxy.empty()) {
            std::lock_guard<CSrwLock> guard(m_proxyLock);
            m_proxy = finding.proxy;
        }
        PostMessageW(m_hWnd, WM_CHECK_PROGRESS, static_cast<WPARAM>(id),
                     MAKELPARAM(static_cast<WORD>(finding.status), static_cast<WORD>(finding.problem)));
    }
    bool StopRequested() override { return m_stop.load(); }

private:
    HWND m_hWnd;
    const std::atomic<bool>& m_stop;
    CSrwLock& m_proxyLock;
    std::wstring& m_proxy;
};

}  // namespace

CCheckerWindow::CCheckerWindow(const CCheckerTexts& texts, CheckerInputs inputs, std::wstring strMutexName,
                               std::wstring strProgramFolder)
    : m_texts(texts),
      m_inputs(std::move(inputs)),
      m_strMutexName(std::move(strMutexName)),
      m_strProgramFolder(std::move(strProgramFolder)) {}

void CCheckerWindow::Run(HINSTANCE hInstance) {
    m_hIcon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_CHECKER), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    m_hSmallIcon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_CHECKER), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                 LR_SHARED));
    DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_CHECKER), nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    // Threads still at work hear that they are no longer wanted; they hold only shared flags.
    m_flags->stopChecks = true;
    m_flags->cancelRetry = true;
}

INT_PTR CALLBACK CCheckerWindow::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        reinterpret_cast<CCheckerWindow*>(lParam)->m_hWnd = hWnd;
    }
    auto* self = reinterpret_cast<CCheckerWindow*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    return self != nullptr ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CCheckerWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(); return TRUE;
    case WM_CHECK_PROGRESS:
        if (wParam < static_cast<WPARAM>(CHECK_COUNT))
            OnCheckProgress(static_cast<CheckId>(wParam), static_cast<CheckStatus>(LOWORD(lParam)),
                            static_cast<CheckProblem>(HIWORD(lParam)));
        return TRUE;
    case WM_CHECKS_DONE: OnChecksDone(); return TRUE;
    case WM_RETRY_DONE: OnRetryDone(static_cast<int>(wParam)); return TRUE;
    case WM_CTLCOLORSTATIC: return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_RETRY) OnRetry();
        else if (LOWORD(wParam) == IDCANCEL) OnClose();
        return TRUE;
    case WM_CLOSE: OnClose(); return TRUE;
    default: return FALSE;
    }
}

void CCheckerWindow::SetText(int controlId, int textNumber) {
    SetDlgItemTextW(m_hWnd, controlId, textNumber == 0 ? L"" : m_texts.Get(textNumber).c_str());
}

void CCheckerWindow::OnInitDialog() {
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
    SetWindowTextW(m_hWnd, m_texts.Get(TEXT_CAPTION).c_str());
    SetText(IDC_HEADLINE, TEXT_HEADLINE_RUNNING);
    SetText(IDC_RETRY, TEXT_BUTTON_RETRY);
    SetText(IDCANCEL, TEXT_BUTTON_CLOSE);
    for (int i = 0; i < CHECK_COUNT; ++i) {
        SetText(IDC_TITLE_FIRST + i, CheckTitleTextNumber(static_cast<CheckId>(i)));
        ShowCheck(static_cast<CheckId>(i));
    }
    SendDlgItemMessageW(m_hWnd, IDC_PROGRESS, PBM_SETRANGE32, 0, CHECK_COUNT);
    // A window started by a program that has just ended should not hide behind other windows.
    SetForegroundWindow(m_hWnd);
    StartChecks();
}

void CCheckerWindow::StartChecks() {
    const HWND hWnd = m_hWnd;
    const CheckerInputs inputs = m_inputs;
    const std::shared_ptr<Flags> flags = m_flags;
    const bool started = StartDetachedThread([hWnd, inputs, flags]() {
        CPostingObserver observer(hWnd, flags->stopChecks, flags->proxyLock, flags->proxy);
        RunCheckSequence(inputs, CheckBudgets(), observer);
        PostMessageW(hWnd, WM_CHECKS_DONE, 0, 0);
    });
    // Without a thread the window still answers: the checks show as not done.
    if (!started) PostMessageW(hWnd, WM_CHECKS_DONE, 0, 0);
}

void CCheckerWindow::ShowCheck(CheckId id) {
    const int index = static_cast<int>(id);
    const CheckFinding& finding = m_findings[index];
    SetText(IDC_STATUS_FIRST + index, StatusTextNumber(finding.status));
    const int number = ProblemTextNumber(finding.problem);
    std::wstring proxy;
    {
        std::lock_guard<CSrwLock> guard(m_flags->proxyLock);
        proxy = m_flags->proxy;
    }
    SetDlgItemTextW(m_hWnd, IDC_DETAIL_FIRST + index, number == 0 ? L"" : WithProxyName(m_texts.Get(number), proxy).c_str());
    // The colour of the status follows the text; repaint it.
    InvalidateRect(GetDlgItem(m_hWnd, IDC_STATUS_FIRST + index), nullptr, TRUE);
}

void CCheckerWindow::OnCheckProgress(CheckId id, CheckStatus status, CheckProblem problem) {
    CheckFinding& finding = m_findings[static_cast<int>(id)];
    finding.status = status;
    finding.problem = problem;
    if (status != CheckStatus::Running) {
        ++m_nFinished;
        SendDlgItemMessageW(m_hWnd, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(m_nFinished), 0);
    }
    ShowCheck(id);
}

void CCheckerWindow::OnChecksDone() {
    if (m_bRetrying) return;
    bool anyProblem = false;
    for (const CheckFinding& finding : m_findings) anyProblem |= finding.status == CheckStatus::Failed;
    SetText(IDC_HEADLINE, anyProblem ? TEXT_HEADLINE_PROBLEM : TEXT_HEADLINE_NO_PROBLEM);
}

void CCheckerWindow::OnRetry() {
    m_bRetrying = true;
    EnableWindow(GetDlgItem(m_hWnd, IDC_RETRY), FALSE);
    SetText(IDC_HEADLINE, TEXT_WAITING_FOR_SETUP);
    // Retry means "try the download again": checks still running are no longer needed.
    m_flags->stopChecks = true;
    m_flags->cancelRetry = false;
    StartRetry();
}

void CCheckerWindow::StartRetry() {
    const HWND hWnd = m_hWnd;
    const std::wstring mutexName = m_strMutexName;
    const std::wstring folder = m_strProgramFolder;
    const std::shared_ptr<Flags> flags = m_flags;
    const bool started = StartDetachedThread([hWnd, mutexName, folder, flags]() {
        int outcome = RETRY_CANCELLED;
        switch (WaitForInstallerToEnd(mutexName, INSTALLER_END_TIMEOUT_MS, INSTALLER_POLL_MS, flags->cancelRetry)) {
        case WaitOutcome::Ended: outcome = StartInstaller(folder) ? RETRY_STARTED : RETRY_START_FAILED; break;
        case WaitOutcome::StillRunning: outcome = RETRY_STILL_RUNNING; break;
        case WaitOutcome::Cancelled: break;
        }
        PostMessageW(hWnd, WM_RETRY_DONE, static_cast<WPARAM>(outcome), 0);
    });
    if (!started) PostMessageW(hWnd, WM_RETRY_DONE, static_cast<WPARAM>(RETRY_START_FAILED), 0);
}

void CCheckerWindow::OnRetryDone(int outcome) {
    m_bRetrying = false;
    switch (outcome) {
    case RETRY_STARTED: EndDialog(m_hWnd, IDOK); return;
    case RETRY_STILL_RUNNING: SetText(IDC_HEADLINE, TEXT_SETUP_STILL_RUNNING); break;
    case RETRY_START_FAILED: SetText(IDC_HEADLINE, TEXT_SETUP_NOT_STARTED); break;
    default: return;
    }
    EnableWindow(GetDlgItem(m_hWnd, IDC_RETRY), TRUE);
}

void CCheckerWindow::OnClose() {
    m_flags->stopChecks = true;
    m_flags->cancelRetry = true;
    EndDialog(m_hWnd, IDCANCEL);
}

INT_PTR CCheckerWindow::OnColorStatic(HDC hdc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id < IDC_STATUS_FIRST || id >= IDC_STATUS_FIRST + CHECK_COUNT) return FALSE;
    const CheckStatus status = m_findings[id - IDC_STATUS_FIRST].status;
    COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
    if (status == CheckStatus::Passed) colour = RGB(0, 128, 0);
    if (status == CheckStatus::Failed) colour = RGB(192, 0, 0);
    SetTextColor(hdc, colour);
    SetBkColor(hdc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}
