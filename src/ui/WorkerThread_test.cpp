#include "ui/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct StopFlag {
    std::atomic<int> stop{0};
    HWND reportTo = nullptr;
};

// A worker that, like a download, reports through SendMessage until it is told to stop.
DWORD WINAPI ReportingWorker(LPVOID parameter) {
    auto* flag = static_cast<StopFlag*>(parameter);
    while (flag->stop == 0) {
        SendMessageW(flag->reportTo, WM_NULL, 0, 0);
        Sleep(1);
    }
    return 0;
}

// A worker that ignores every request (a library hanging in a call).
DWORD WINAPI HangingWorker(LPVOID parameter) {
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 0;
}

HWND MakeMessageWindow() {
    return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(WorkerThread, AReportingWorkerSeesTheStopFlagAndEndsByItself) {
    HWND window = MakeMessageWindow();
    ASSERT_NE(window, nullptr);
    StopFlag flag;
    flag.reportTo = window;
    CWorkerThread worker;
    ASSERT_EQ(worker.Start(ReportingWorker, &flag), 1);
    EXPECT_TRUE(worker.HasHandle());
    EXPECT_NE(worker.GetId(), 0u);
    flag.stop = 1;
    EXPECT_EQ(worker.StopWithin(30000), CWorkerThread::StopOutcome::Ended);
    EXPECT_FALSE(worker.HasHandle());
    // Closed exactly once: later stops find nothing to do.
    EXPECT_EQ(worker.StopWithin(30000), CWorkerThread::StopOutcome::NoThread);
    DestroyWindow(window);
}

TEST(WorkerThread, AHangingWorkerIsTerminatedAfterTheWait) {
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(never, nullptr);
    CWorkerThread worker;
    ASSERT_EQ(worker.Start(HangingWorker, never), 1);
    EXPECT_EQ(worker.StopWithin(50), CWorkerThread::StopOutcome::Terminated);
    EXPECT_FALSE(worker.HasHandle());
    CloseHandle(never);
}

TEST(WorkerThread, NothingStartedMeansNothingToStop) {
    CWorkerThread worker;
    EXPECT_FALSE(worker.HasHandle());
    EXPECT_EQ(worker.StopWithin(0), CWorkerThread::StopOutcome::NoThread);
}
