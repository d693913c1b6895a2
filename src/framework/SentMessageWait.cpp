#include "framework/SentMessageWait.h"

DWORD WaitServingSentMessages(HANDLE hObject, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        // MWMO_INPUTAVAILABLE: also wake for sent messages that were already pending.
        const DWORD result = MsgWaitForMultipleObjectsEx(1, &hObject, remaining, QS_SENDMESSAGE,
                                                         MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0) return WAIT_OBJECT_0;
        if (result == WAIT_OBJECT_0 + 1) {
            // PeekMessage delivers pending sent messages; the filter keeps posted ones queued.
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            if (remaining == 0) {
                return WaitForSingleObject(hObject, 0) == WAIT_OBJECT_0 ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
            }
            continue;
        }
        if (result == WAIT_TIMEOUT) return WAIT_TIMEOUT;
        return WAIT_FAILED;
    }
}
