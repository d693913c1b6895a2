#include "framework/Dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

const UINT IDD_TEST_DIALOG = 200;
const int IDC_TEST_LABEL = 201;
const UINT MSG_CUSTOM = WM_APP + 5;

// Records what the framework calls; the test decides what happens in the initialisation.
class RecordingDialog : public CDialog {
public:
    RecordingDialog() : CDialog(IDD_TEST_DIALOG) {}

    std::function<void(RecordingDialog&)> onInit;
    std::vector<std::string> calls;
    CStatic label;
    bool visibleDuringInit = true;
    RECT rectAtClose{};
    int customSeenInWindowProc = 0;

    HWND Hwnd() const { return m_hWnd; }
    void End(int result) { EndDialog(result); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == MSG_CUSTOM) ++customSeenInWindowProc;
        return CDialog::WindowProc(message, wParam, lParam);
    }
    void DoDataExchange() override {
        calls.push_back("DoDataExchange");
        BindControl(IDC_TEST_LABEL, label);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        calls.push_back("OnInitDialog");
        visibleDuringInit = IsWindowVisible() != 0;
        if (onInit) onInit(*this);
        return TRUE;
    }
    void OnClose() override {
        calls.push_back("OnClose");
        GetWindowRect(m_hWnd, &rectAtClose);
        CDialog::OnClose();
    }
    void OnTimer(UINT_PTR nIDEvent) override {
        calls.push_back("OnTimer " + std::to_string(nIDEvent));
        KillTimer(m_hWnd, nIDEvent);
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    }
};

// A quit request left pending by a dialog must not leak into the next test.
void DrainQuit() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void PostKey(HWND hWnd, WPARAM key) {
    PostMessageW(hWnd, WM_KEYDOWN, key, 1);
    PostMessageW(hWnd, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

}  // namespace

TEST(Dialog, BindsControlsAndIsShownOnlyAfterItsInitialisation) {
    RecordingDialog dialog;
    std::wstring labelText;
    dialog.onInit = [&](RecordingDialog& d) {
        labelText = d.label.GetWindowText();
        d.End(IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ASSERT_GE(dialog.calls.size(), 2u);
    EXPECT_EQ(dialog.calls[0], "DoDataExchange");
    EXPECT_EQ(dialog.calls[1], "OnInitDialog");
    EXPECT_EQ(labelText, L"label");
    EXPECT_FALSE(dialog.visibleDuringInit);
    EXPECT_EQ(dialog.Hwnd(), nullptr);
}

TEST(Dialog, EnterDoesNothingAndEscapeGoesThroughOnClose) {
    RecordingDialog dialog;
    dialog.onInit = [](RecordingDialog& d) {
        PostKey(d.Hwnd(), VK_RETURN);   // if Enter ended the dialog, OnClose would never run
        PostKey(d.Hwnd(), VK_ESCAPE);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.calls.back(), "OnClose");
}

TEST(Dialog, TimersAndCloseRequestsReachTheirHandlers) {
    RecordingDialog dialog;
    dialog.onInit = [](RecordingDialog& d) { SetTimer(d.Hwnd(), 10, 1, nullptr); };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    const std::vector<std::string> expected = {"DoDataExchange", "OnInitDialog", "OnTimer 10", "OnClose"};
    EXPECT_EQ(dialog.calls, expected);
}

TEST(Dialog, EveryMessagePassesTheWindowProcOverrideAndWmQuitEndsTheLoop) {
    RecordingDialog dialog;
    dialog.onInit = [](RecordingDialog& d) {
        PostMessageW(d.Hwnd(), MSG_CUSTOM, 0, 0);
        PostMessageW(d.Hwnd(), WM_QUIT, 0, 0);
    };
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.customSeenInWindowProc, 1);
    // The quit request is left for the application's own loop.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    DrainQuit();
}

TEST(Dialog, AnUnmovedDialogIsCentredFromItsFinalSizeAndAMovedOneStays) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
    const RECT& area = info.rcWork;

    RecordingDialog unmoved;
    unmoved.onInit = [](RecordingDialog& d) {
        SetWindowPos(d.Hwnd(), HWND_NOTOPMOST, 0, 0, 300, 100, SWP_NOMOVE);
        PostMessageW(d.Hwnd(), WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(unmoved.DoModal(), IDCANCEL);
    const RECT& centred = unmoved.rectAtClose;
    EXPECT_EQ(centred.right - centred.left, 300);
    EXPECT_EQ(centred.bottom - centred.top, 100);
    EXPECT_EQ(centred.left, area.left + (area.right - area.left - 300) / 2);
    EXPECT_EQ(centred.top, area.top + (area.bottom - area.top - 100) / 2);

    RecordingDialog moved;
    moved.onInit = [](RecordingDialog& d) {
        SetWindowPos(d.Hwnd(), nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PostMessageW(d.Hwnd(), WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(moved.DoModal(), IDCANCEL);
    EXPECT_EQ(moved.rectAtClose.left, 5);
    EXPECT_EQ(moved.rectAtClose.top, 7);
}
