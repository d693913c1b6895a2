#include "download/TransferProgress.h"

#include "bindings/ProgressCallback.h"
#include "download/ProgressReport.h"
#include "ui/CompletionMessage.h"
#include "ui/FennickDlg.h"

// Both libraries take it as their callback type; a mismatch must not compile.
static_assert(std::is_same<decltype(&TransferProgressCallback), QXPROGRESSCALLBACK>::value,
              "TransferProgressCallback must match QXPROGRESSCALLBACK");

int CALLBACK TransferProgressCallback(int nPerMille, void* pContext) {
    if (!pContext) return 0;
    CFennickDlg& dialog = *static_cast<CFennickDlg*>(pContext);
    const ProgressDisplay display{dialog.GetSafeHwnd(),        dialog.m_ctlProgress.m_hWnd,
                                  dialog.m_staticSize.m_hWnd,  dialog.m_staticPercent.m_hWnd,
                                  dialog.m_bStop,              dialog.m_nTotalSize,
                                  dialog.m_strSizeFile};
    return ReportTransferProgress(display, nPerMille, TIMER_WATCHDOG, WATCHDOG_PERIOD_MS);
}
