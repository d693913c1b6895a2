#pragma once
#include <windows.h>

#include "Handles.h"

// The one download worker of the dialog. Its handle is owned here, so the watchdog, the
// completion handler, a confirmed close and the dialog's destructor share it and it is closed
// exactly once, whichever of them comes first.
class CWorkerThread {
public:
    enum class StopOutcome { NoThread, Ended, Terminated };

    CWorkerThread() = default;
    ~CWorkerThread() = default;     // the dialog stops the worker before this runs
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts entry(parameter) at once. True = running; false = CreateThread failed (no handle kept).
    bool Start(LPTHREAD_START_ROUTINE entry, void* parameter);

    bool HasHandle() const { return m_handle.IsValid(); }
    DWORD GetId() const { return m_dwThreadId; }

    // Waits up to timeoutMs for the thread to end, serving messages sent to the calling thread
    // meanwhile (a worker blocked in a progress report can finish it and see its stop flag).
    // A thread still running then is terminated with exit code 1 as the last resort, and the
    // termination is waited for (bounded). The handle is closed in every case.
    StopOutcome StopWithin(DWORD timeoutMs);

private:
    UniqueHandle m_handle;
    DWORD m_dwThreadId = 0;
};
