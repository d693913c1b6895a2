#pragma once
#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "SrwLock.h"
#include "checks/CheckFinding.h"
#include "checks/CheckSequence.h"
#include "checks/CheckerTexts.h"

// The checker's window: one line per check (status, what is checked, and a sentence when it
// failed), a progress bar, Retry and Close. The checks and the wait for the installer run on
// threads of their own and report through posted messages, so the window never blocks.
class CCheckerWindow {
public:
    CCheckerWindow(const CCheckerTexts& texts, CheckerInputs inputs, std::wstring strMutexName,
                   std::wstring strProgramFolder);
    CCheckerWindow(const CCheckerWindow&) = delete;
    CCheckerWindow& operator=(const CCheckerWindow&) = delete;

    // Runs the window modally; returns when the user closed it or the installer was restarted.
    void Run(HINSTANCE hInstance);

private:
    // Shared with the worker threads, which may outlive the window by a moment.
    struct Flags {
        std::atomic<bool> stopChecks{false};
        std::atomic<bool> cancelRetry{false};
        CSrwLock proxyLock;
        std::wstring proxy;  // the proxy the checks went through, for the texts that name it
    };

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnInitDialog();
    void OnCheckProgress(CheckId id, CheckStatus status, CheckProblem problem);
    void OnChecksDone();
    void OnRetry();
    void OnRetryDone(int outcome);
    void OnClose();
    INT_PTR OnColorStatic(HDC hdc, HWND control);

    void ShowCheck(CheckId id);
    void SetText(int controlId, int textNumber);
    void StartChecks();
    void StartRetry();

    const CCheckerTexts& m_texts;
    const CheckerInputs m_inputs;
    const std::wstring m_strMutexName;
    const std::wstring m_strProgramFolder;
    std::shared_ptr<Flags> m_flags = std::make_shared<Flags>();
    HWND m_hWnd = nullptr;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    std::array<CheckFinding, CHECK_COUNT> m_findings;
    int m_nFinished = 0;
    bool m_bRetrying = false;  // the headline belongs to the retry until it has ended
};
