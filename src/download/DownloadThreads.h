#pragma once
#include <windows.h>

// Worker thread entries. The parameter is the CFennickDlg that started the worker; each worker
// posts exactly one completion message to it (unless the parameter is null) and returns 0.
DWORD WINAPI FtpDownloadThread(LPVOID pParam);
DWORD WINAPI HttpDownloadThread(LPVOID pParam);
