#pragma once
#include <windows.h>

#include "ui/CompletionMessage.h"
#include "ui/FennickDlg.h"

// The frame of both worker threads: the binding is built first (it may show its load-failure
// box) and freed last, after the one completion message; a null parameter only loads and frees
// the library. `download` is true when the package is the target file. Always returns 0.
template <typename Binding>
DWORD RunDownloadWorker(LPVOID pParam, bool (*download)(Binding&, CFennickDlg&)) {
    Binding binding;
    if (!pParam) return 0;
    CFennickDlg& dialog = *static_cast<CFennickDlg*>(pParam);
    const bool complete = download(binding, dialog);
    PostCompletion(dialog.GetSafeHwnd(), complete);
    return 0;
}
