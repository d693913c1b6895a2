#include "ui/CompletionMessage.h"

// Registered while the program's statics are built, before the application starts up.
const UINT g_completionMsg = RegisterWindowMessageW(L"Fennick_Msg_Info_001");

void PostCompletion(HWND hDialog, bool complete) {
    PostMessageW(hDialog, g_completionMsg, 0, complete ? COMPLETION_SUCCESS : COMPLETION_FAILURE);
}
