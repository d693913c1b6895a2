#include "download/ProgressReport.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {
const UINT_PTR kWatchdog = 20;

// Counts WM_SETTEXT per window, so a test can tell an unchanged text from a rewritten one.
std::map<HWND, int> g_setTextCount;

LRESULT CALLBACK CountingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) ++g_setTextCount[hWnd];
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

// A hidden dialog stand-in with the three progress controls, made on the test's thread.
class ProgressReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&init);
        WNDCLASSW cls{};
        cls.lpfnWndProc = CountingProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"FennickCountingText";
        RegisterClassW(&cls);
        dialog = CreateWindowW(L"FennickCountingText", L"", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr,
                               nullptr, nullptr);
        bar = CreateWindowW(PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 100, 10, dialog, nullptr, nullptr, nullptr);
        sizeText = CreateWindowW(L"FennickCountingText", L"", WS_CHILD, 0, 0, 10, 10, dialog, nullptr, nullptr,
                                 nullptr);
        percentText = CreateWindowW(L"FennickCountingText", L"", WS_CHILD, 0, 0, 10, 10, dialog, nullptr,
                                    nullptr, nullptr);
        ASSERT_TRUE(dialog && bar && sizeText && percentText);
        SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        g_setTextCount.clear();
    }
    void TearDown() override {
        DestroyWindow(dialog);
        if (!stateFile.empty()) DeleteFileW(stateFile.c_str());
    }

    int Report(int nPerMille) {
        ProgressDisplay display{dialog, bar, sizeText, percentText, stop, total, stateFile};
        return ReportTransferProgress(display, nPerMille, kWatchdog, 20000);
    }
    std::wstring Text(HWND hWnd) {
        wchar_t buffer[256];
        GetWindowTextW(hWnd, buffer, 256);
        return buffer;
    }
    int BarPosition() { return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)); }
    // KillTimer succeeds only when the watchdog was armed; it also disarms it for the next check.
    bool WatchdogArmed() { return KillTimer(dialog, kWatchdog) != 0; }
    void UseStateFile(const char* content) {
        wchar_t folder[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, folder);
        stateFile = std::wstring(folder) + L"fennick_progress_test.exe_tmp_sz";
        const HANDLE file = CreateFileW(stateFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
        CloseHandle(file);
    }

    HWND dialog = nullptr, bar = nullptr, sizeText = nullptr, percentText = nullptr;
    std::atomic<int> stop{0};
    std::atomic<unsigned long long> total{0};
    std::wstring stateFile;
};
}  // namespace

TEST_F(ProgressReportTest, ShowsProgressAndRearmsTheWatchdog) {
    total = 15728640;
    EXPECT_EQ(Report(500), 1);
    EXPECT_EQ(BarPosition(), 50);
    EXPECT_EQ(Text(percentText), L"50%");
    EXPECT_EQ(Text(sizeText), L"7.5MB / 15.0MB");
    EXPECT_TRUE(WatchdogArmed());
}

TEST_F(ProgressReportTest, StopRequestTouchesNoWindowAndLeavesTheWatchdogStopped) {
    SetTimer(dialog, kWatchdog, 20000, nullptr);
    SetWindowTextW(percentText, L"before");
    g_setTextCount.clear();
    total = 15728640;
    stop = 1;
    EXPECT_EQ(Report(700), 0);
    EXPECT_FALSE(WatchdogArmed());
    EXPECT_EQ(Text(percentText), L"before");
    EXPECT_EQ(BarPosition(), 0);
    EXPECT_TRUE(g_setTextCount.empty());
}

TEST_F(ProgressReportTest, UnchangedTextsAreNotWrittenAgainIgnoringCase) {
    total = 15728640;
    Report(500);
    SetWindowTextW(sizeText, L"7.5mb / 15.0mb");
    g_setTextCount.clear();
    Report(500);
    Report(501);  // same percentage and the same megabytes to one decimal
    EXPECT_TRUE(g_setTextCount.empty());
    Report(520);
    EXPECT_EQ(g_setTextCount[percentText], 1);
    EXPECT_EQ(g_setTextCount[sizeText], 1);
    EXPECT_EQ(Text(sizeText), L"7.8MB / 15.0MB");
}

TEST_F(ProgressReportTest, UnknownTotalIsLearnedFromTheStateFileOnceItIsWritten) {
    UseStateFile("[Main]\r\nRetryCount=2\r\n");
    EXPECT_EQ(Report(250), 1);
    EXPECT_EQ(Text(sizeText), L"") << "no megabytes while the total is unknown";
    EXPECT_EQ(Text(percentText), L"25%");
    EXPECT_EQ(total.load(), 0u);

    UseStateFile("[Main]\r\nRetryCount=2\r\nsize=6442450944\r\n");
    EXPECT_EQ(Report(500), 1);
    EXPECT_EQ(total.load(), 6442450944ULL) << "a total above 4 GiB keeps all its bits";
    EXPECT_EQ(Text(sizeText), L"3072.0MB / 6144.0MB");
}

TEST_F(ProgressReportTest, RecordedTotalThatIsNotAPositiveNumberStaysUnknown) {
    for (const char* content : {"[Main]\r\nsize=ERR\r\n", "[Main]\r\nsize=abc\r\n", "[Main]\r\nsize=-1294967296\r\n"}) {
        UseStateFile(content);
        EXPECT_EQ(ReadRecordedTotalSize(stateFile), 0u) << content;
    }
    EXPECT_EQ(ReadRecordedTotalSize(L""), 0u);
}
