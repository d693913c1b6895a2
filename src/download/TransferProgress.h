#pragma once
#include <windows.h>

// The progress callback handed to both transfer libraries; pContext is the CFennickDlg.
// Shows the progress, re-arms the dialog's watchdog and answers 0 once the dialog asked the
// download to stop (or for a null context), else 1. Runs on the worker thread.
int CALLBACK TransferProgressCallback(int nPerMille, void* pContext);
