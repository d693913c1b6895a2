#include "ui/FennickDlg.h"

#include <commctrl.h>

#include "config/DownloadFolder.h"
#include "config/UrlParts.h"
#include "download/DownloadThreads.h"
#include "ui/CompletionMessage.h"
#include "ui/resource.h"

namespace {

const int WINDOW_WIDTH = 500;
const int WINDOW_HEIGHT = 130;
const DWORD WATCHDOG_WAIT_MS = 2000;
const DWORD CONFIRMED_CLOSE_WAIT_MS = 5000;

class PaintScope {
public:
    explicit PaintScope(HWND hWnd) : m_hWnd(hWnd), m_hDC(BeginPaint(hWnd, &m_paint)) {}
    ~PaintScope() { EndPaint(m_hWnd, &m_paint); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return m_hDC; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_paint{};
    HDC m_hDC;
};

}  // namespace

CFennickDlg::CFennickDlg(HWND hParent)
    : CDialog(IDD_PROGRESS_DIALOG, hParent),
      m_config(nullptr),
      m_bStop(0),
      m_bNoConfirm(0),
      m_nTotalSize(0),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {
    m_strRetryFile.clear();
}

CFennickDlg::~CFennickDlg() {
    // The worker is given this object; it must be gone before the object is.
    StopWorker(CONFIRMED_CLOSE_WAIT_MS);
}

std::wstring CFennickDlg::GetDownloadFolder() const { return QueryDocumentsDownloadFolder(m_hWnd); }

LRESULT CFennickDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCompletion(message, wParam, lParam);
    return CDialog::WindowProc(message, wParam, lParam);
}

void CFennickDlg::DoDataExchange() {
    BindControl(IDC_STATIC_SIZE, m_staticSize);
    BindControl(IDC_STATIC_PERCENT, m_staticPercent);
    BindControl(IDC_STATIC_LABEL, m_staticLabel);
    BindControl(IDC_PROGRESS, m_ctlProgress);
}

BOOL CFennickDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_bNoConfirm = 0;
    m_bStop = 0;
    SetWindowText(m_lang.GetString(1));
    m_staticLabel.SetWindowText(m_lang.GetString(2));
    m_strDownloadFolder = GetDownloadFolder();
    m_ctlProgress.SetRange(0, 100);

    CollectChildRects();
    RECT before{};
    GetWindowRect(m_hWnd, &before);
    SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, SWP_NOMOVE);
    ScaleChildRects(before.right - before.left, before.bottom - before.top, WINDOW_WIDTH, WINDOW_HEIGHT);

    if (m_config.Load() == 1) {
        SetTimer(m_hWnd, TIMER_START, START_DELAY_MS, nullptr);
    } else {
        m_bNoConfirm = 1;
        EndDialog(0);
    }
    return TRUE;
}

void CFennickDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == TIMER_START) {
        OnStartTimer();
    } else if (nIDEvent == TIMER_WATCHDOG) {
        OnWatchdogTimer();
    }
    Default();
}

void CFennickDlg::OnStartTimer() {
    KillTimer(m_hWnd, TIMER_START);
    LPTHREAD_START_ROUTINE entry = nullptr;
    if (m_config.m_nScheme == URL_SCHEME_FTP) {
        entry = &FtpDownloadThread;
    } else if (m_config.m_nScheme == URL_SCHEME_HTTP || m_config.m_nScheme == URL_SCHEME_HTTPS) {
        entry = &HttpDownloadThread;
    }
    // Another scheme, or a second firing: nothing to start; the window waits for the user.
    if (entry == nullptr || m_worker.HasHandle() || m_bCompletionHandled) return;
    if (m_worker.Start(entry, this)) {
        SetTimer(m_hWnd, TIMER_WATCHDOG, WATCHDOG_PERIOD_MS, nullptr);
    }
}

void CFennickDlg::OnWatchdogTimer() {
    KillTimer(m_hWnd, TIMER_WATCHDOG);
    // A late firing after the worker has been dealt with has nothing to watch.
    if (m_bCompletionHandled || !m_worker.HasHandle()) return;
    // Asked to stop, a worker that reports once more ends by itself instead of being terminated.
    StopWorker(WATCHDOG_WAIT_MS);
    ::PostMessageW(m_hWnd, g_completionMsg, 0, COMPLETION_FAILURE);
}

void CFennickDlg::StopWorker(DWORD timeoutMs) {
    m_bStop = 1;
    m_worker.StopWithin(timeoutMs);
}

void CFennickDlg::OnClose() {
    if (m_bNoConfirm != 0) {
        CDialog::OnClose();
        return;
    }
    // The download's end is being handled; that handling ends the dialog itself.
    if (m_bCompletionHandled) return;
    const std::wstring question = m_lang.GetString(3);
    const std::wstring caption = m_lang.GetString(1);
    const int answer = MessageBoxW(m_hWnd, question.c_str(), caption.c_str(), MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer != IDYES || m_bCompletionHandled) return;
    StopWorker(CONFIRMED_CLOSE_WAIT_MS);
    CDialog::OnClose();
}

void CFennickDlg::OnSysCommand(UINT, LPARAM) { Default(); }

void CFennickDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    PaintScope paint(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.dc()), 0);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(paint.dc(), x, y, m_hIcon);
}

HCURSOR CFennickDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
