#include "ui/CompletionMessage.h"

// Registered while the program's statics are built, before the application starts up.
const UINT g_completionMsg = RegisterWindowMessageW(L"Fennick_Msg_Info_001");
