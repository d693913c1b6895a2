#include "download/ProgressReport.h"

#include <commctrl.h>

#include "config/DownloadFiles.h"
#include "download/ProgressText.h"

namespace {
constexpr int WINDOW_TEXT_CAPACITY = 1024;

// Sets the text only when it differs, ignoring case, so that frequent reports of the same
// value cause no redrawing. A current text too long to read whole counts as different.
void SetTextIfChanged(HWND hWnd, const std::wstring& text) {
    wchar_t current[WINDOW_TEXT_CAPACITY];
    const int length = GetWindowTextW(hWnd, current, WINDOW_TEXT_CAPACITY);
    const bool readWhole = length < WINDOW_TEXT_CAPACITY - 1;
    if (readWhole && CompareStringOrdinal(current, length, text.c_str(), static_cast<int>(text.size()), TRUE) ==
                         CSTR_EQUAL) {
        return;
    }
    SetWindowTextW(hWnd, text.c_str());
}
}  // namespace

int ReportTransferProgress(const ProgressDisplay& display, int nPerMille, UINT_PTR watchdogTimer,
                           UINT watchdogMilliseconds) {
    KillTimer(display.hDialog, watchdogTimer);
    // The window thread may be waiting for this worker to end: touch no window once asked to stop.
    if (display.bStop.load() != 0) return 0;

    if (display.nTotalSize.load() == 0) {
        // An empty name would make the profile functions read the Windows directory's win.ini.
        if (!display.strSizeFile.empty()) display.nTotalSize.store(ReadRecordedSize(display.strSizeFile).value_or(0));
    }
    const unsigned long long total = display.nTotalSize.load();
    if (total != 0) SetTextIfChanged(display.hSizeText, FormatMegabytesText(nPerMille, total));

    const int percent = PercentFromPerMille(nPerMille);
    SendMessageW(display.hProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    SetTextIfChanged(display.hPercentText, FormatPercentText(percent));

    SetTimer(display.hDialog, watchdogTimer, watchdogMilliseconds, nullptr);
    return 1;
}
