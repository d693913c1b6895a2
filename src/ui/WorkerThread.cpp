#include "ui/WorkerThread.h"

#include "framework/SentMessageWait.h"

namespace {
// TerminateThread does not wait for the thread to be gone.
const DWORD TERMINATION_WAIT_MS = 1000;
}

bool CWorkerThread::Start(LPTHREAD_START_ROUTINE entry, void* parameter) {
    DWORD threadId = 0;
    HANDLE hThread = CreateThread(nullptr, 0, entry, parameter, 0, &threadId);
    if (hThread == nullptr) return false;
    m_handle.Reset(hThread);
    m_dwThreadId = threadId;
    return true;
}

CWorkerThread::StopOutcome CWorkerThread::StopWithin(DWORD timeoutMs) {
    if (!m_handle.IsValid()) return StopOutcome::NoThread;
    StopOutcome outcome = StopOutcome::Ended;
    if (WaitServingSentMessages(m_handle.Get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateThread(m_handle.Get(), 1);
        WaitForSingleObject(m_handle.Get(), TERMINATION_WAIT_MS);
        outcome = StopOutcome::Terminated;
    }
    m_handle.Reset();
    return outcome;
}
