#include "download/ProgressReport.h"

#include <commctrl.h>

#include "config/DecimalText.h"
#include "config/IniFile.h"
#include "download/ProgressText.h"

namespace {
constexpr int kWindowTextCapacity = 1024;

// Sets the text only when it differs, ignoring case, so that frequent reports of the same
// value cause no redrawing. A current text too long to read whole counts as different.
void SetTextIfChanged(HWND hWnd, const std::wstring& text) {
    wchar_t current[kWindowTextCapacity];
    const int length = GetWindowTextW(hWnd, current, kWindowTextCapacity);
    const bool readWhole = length < kWindowTextCapacity - 1;
    if (readWhole && CompareStringOrdinal(current, length, text.c_str(), static_cast<int>(text.size()), TRUE) ==
                         CSTR_EQUAL) {
        return;
    }
    SetWindowTextW(hWnd, text.c_str());
}
}  // namespace

unsigned long long ReadRecordedTotalSize(const std::wstring& stateFile) {
    // An empty name would make the profile functions read the Windows directory's win.ini.
    if (stateFile.empty()) return 0;
    const std::wstring text = ReadIniString(stateFile, L"Main", L"size");
    if (text == L"ERR") return 0;
    const long long value = ParseDecimalPrefix(text);
    return value > 0 ? static_cast<unsigned long long>(value) : 0;
}

int ReportTransferProgress(const ProgressDisplay& display, int nPerMille, UINT_PTR watchdogTimer,
                           UINT watchdogMilliseconds) {
    KillTimer(display.hDialog, watchdogTimer);
    // The window thread may be waiting for this worker to end: touch no window once asked to stop.
    if (display.bStop.load() != 0) return 0;

    if (display.nTotalSize.load() == 0) {
        display.nTotalSize.store(ReadRecordedTotalSize(display.strSizeFile));
    }
    const unsigned long long total = display.nTotalSize.load();
    if (total != 0) SetTextIfChanged(display.hSizeText, FormatMegabytesText(nPerMille, total));

    const int percent = PercentFromPerMille(nPerMille);
    SendMessageW(display.hProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    SetTextIfChanged(display.hPercentText, FormatPercentText(percent));

    SetTimer(display.hDialog, watchdogTimer, watchdogMilliseconds, nullptr);
    return 1;
}
