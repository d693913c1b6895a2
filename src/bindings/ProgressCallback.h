#pragma once
#include <windows.h>

// How a transfer library reports to its caller: progress in thousandths of the whole file
// (0..1000) and the context value it was given, unchanged. Return 1 to go on, 0 to stop;
// a library answers 0 by abandoning the transfer and reporting failure.
// CALLBACK keeps the i686 calling convention identical on both sides of the DLL boundary.
typedef int(CALLBACK* QXPROGRESSCALLBACK)(int nPerMille, void* pContext);
