// Placeholder until the download workers land; they replace this file.
#include "download/DownloadThreads.h"

DWORD WINAPI FtpDownloadThread(LPVOID) { return 0; }
DWORD WINAPI HttpDownloadThread(LPVOID) { return 0; }
