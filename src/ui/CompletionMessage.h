#pragma once
#include <windows.h>

// The message through which a download reports its end to the dialog: always posted with
// wParam 0 and lParam COMPLETION_SUCCESS or COMPLETION_FAILURE. Registered during static
// initialisation, before the application starts up.
extern const UINT g_completionMsg;
enum { COMPLETION_SUCCESS = 1, COMPLETION_FAILURE = 2 };

// Timers of the dialog window (they arrive as WM_TIMER).
enum { TIMER_START = 10, TIMER_WATCHDOG = 20 };
enum : UINT { START_DELAY_MS = 300, WATCHDOG_PERIOD_MS = 20000 };

// A download worker's one completion message to the dialog window.
void PostCompletion(HWND hDialog, bool complete);
