#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "bindings/QXMlang.h"
#include "config/InstallerConfig.h"
#include "framework/Dialog.h"
#include "ui/LayoutScaler.h"
#include "ui/WorkerThread.h"

// The progress window and the record that the download workers and the progress callback use.
// Workers read m_config and m_strDownloadFolder, write the path fields and m_nTotalSize before
// their first progress report, and post g_completionMsg once at their end.
class CFennickDlg : public CDialog {
public:
    explicit CFennickDlg(HWND hParent = nullptr);
    ~CFennickDlg() override;

    CStatic m_staticSize;          // 1002: megabytes done / total
    CStatic m_staticPercent;       // 1003: percentage
    CStatic m_staticLabel;         // 1001: hidden label, language text 2
    CProgressCtrl m_ctlProgress;   // 1000: range 0..100
    CInstallerConfig m_config;
    std::wstring m_strDownloadFolder;   // ends with a backslash; empty when unknown
    std::wstring m_strTargetPath;
    std::wstring m_strSizeFile;         // HTTP only
    std::wstring m_strRetryFile;        // state file holding "RetryCount"
    std::atomic<int> m_bStop;           // written by the UI thread, read by the callback
    int m_bNoConfirm;
    CQXMlang m_lang;
    std::atomic<unsigned long long> m_nTotalSize;   // bytes, 0 = unknown
    CLayoutScaler m_layout;
    HICON m_hIcon;

    std::wstring GetDownloadFolder() const;
    void CollectChildRects();
    void ScaleChildRects(int oldWidth, int oldHeight, int newWidth, int newHeight);
    void HandleCompletion(UINT message, WPARAM wParam, LPARAM lParam);
    // Opens the file in its own folder; ERROR_SUCCESS when started, else the shell's error.
    DWORD LaunchFile(std::wstring path) const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnSysCommand(UINT nID, LPARAM lParam) override;
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    void OnClose() override;
    void OnTimer(UINT_PTR nIDEvent) override;

private:
    void OnStartTimer();
    void OnWatchdogTimer();
    bool StartErrorChecker() const;
    void ReportFailedStart(DWORD error);
    void ShowErrorMessage();
    void StopWorker(DWORD timeoutMs);

    CWorkerThread m_worker;
    bool m_bCompletionHandled = false;   // a second completion message is ignored
};

// EnumChildWindows callback of CollectChildRects; lParam is the CFennickDlg. Always TRUE.
BOOL CALLBACK EnumChildRectProc(HWND hWnd, LPARAM lParam);
