#include "framework/SentMessageWait.h"

#include <gtest/gtest.h>

#include <atomic>

#include "framework/UniqueHandle.h"

namespace {

const UINT MSG_REPORT = WM_APP + 1;
const UINT MSG_POSTED = WM_APP + 2;
std::atomic<int> g_reportsHandled{0};

LRESULT CALLBACK ReceiverProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MSG_REPORT) {
        ++g_reportsHandled;
        return 42;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

// A message-only window owned by the test's thread, standing in for the dialog.
class Receiver {
public:
    Receiver() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ReceiverProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"FennickSentMessageWaitTest";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~Receiver() { DestroyWindow(m_hWnd); }
    HWND m_hWnd;
};

struct ReporterArgs {
    HWND target;
    LRESULT answer;
};

// Like a worker inside a progress report: blocks in SendMessageW until the window's thread serves it.
DWORD WINAPI Reporter(LPVOID parameter) {
    auto* args = static_cast<ReporterArgs*>(parameter);
    args->answer = SendMessageW(args->target, MSG_REPORT, 0, 0);
    return 0;
}

DWORD WINAPI WaitForever(LPVOID parameter) {
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 0;
}

}  // namespace

TEST(SentMessageWait, AThreadBlockedInSendMessageFinishesDuringTheWait) {
    Receiver receiver;
    ASSERT_NE(receiver.m_hWnd, nullptr);
    g_reportsHandled = 0;
    // A posted message queued before the wait must still be there afterwards.
    ASSERT_TRUE(PostMessageW(receiver.m_hWnd, MSG_POSTED, 7, 0));
    ReporterArgs args{receiver.m_hWnd, 0};
    UniqueHandle thread(CreateThread(nullptr, 0, Reporter, &args, 0, nullptr));
    ASSERT_TRUE(thread.IsValid());

    EXPECT_EQ(WaitServingSentMessages(thread.Get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(g_reportsHandled.load(), 1);
    EXPECT_EQ(args.answer, 42);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, receiver.m_hWnd, MSG_POSTED, MSG_POSTED, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(SentMessageWait, TimesOutOnAThreadThatDoesNotEnd) {
    UniqueHandle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle thread(CreateThread(nullptr, 0, WaitForever, never.Get(), 0, nullptr));
    ASSERT_TRUE(thread.IsValid());
    EXPECT_EQ(WaitServingSentMessages(thread.Get(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(never.Get());
    EXPECT_EQ(WaitServingSentMessages(thread.Get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
}
