#pragma once
#include <windows.h>

#include <atomic>
#include <string>

// What one progress report works on: the dialog's window (owner of the watchdog timer), its
// three progress controls, the stop flag, the total size and the state file to learn the total
// from while it is unknown. The dialog's fields are referenced, not copied.
struct ProgressDisplay {
    HWND hDialog;
    HWND hProgressBar;
    HWND hSizeText;
    HWND hPercentText;
    const std::atomic<int>& bStop;
    std::atomic<unsigned long long>& nTotalSize;
    const std::wstring& strSizeFile;
};

// One report from a transfer library, on the worker thread: stops the watchdog, answers a stop
// request (0) before touching any window, learns the total from the state file while it is
// unknown, shows bar, percentage and megabytes (texts written only when they change), re-arms
// the watchdog for `watchdogMilliseconds` and returns 1.
int ReportTransferProgress(const ProgressDisplay& display, int nPerMille, UINT_PTR watchdogTimer,
                           UINT watchdogMilliseconds);
