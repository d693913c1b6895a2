#pragma once
#include <windows.h>

// Waits up to timeoutMs for hObject while the calling (window) thread keeps handling messages
// that other threads SEND to it. Posted messages and input stay queued.
// A worker blocked in SendMessageW to this thread can thus finish its call instead of hanging
// until the wait runs out. Returns WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitServingSentMessages(HANDLE hObject, DWORD timeoutMs);
