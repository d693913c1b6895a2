#include "bindings/QXFtp.h"

CQXFtp::CQXFtp() : CQXFtp(L"QXFtp.dll", ShowLoadFailureBox) {}

CQXFtp::CQXFtp(const wchar_t* libraryName, LoadFailureNotifier notify)
    : hLibrary(LoadLibraryBesideExecutable(libraryName)) {
    const UniqueModule& h = hLibrary;
    pfnQFTPIFO = FindEntry<PFNQFTPIFO>(h, "QFTPIFO");
    pfnQFTPUFO = FindEntry<PFNQFTPUFO>(h, "QFTPUFO");
    pfnQFTPFLON = FindEntry<PFNQFTPFLON>(h, "QFTPFLON");
    pfnQFTPFLOFF = FindEntry<PFNQFTPFLOFF>(h, "QFTPFLOFF");
    pfnQFTPFGFWCB = FindEntry<PFNQFTPFGFWCB>(h, "QFTPFGFWCB");
    pfnQFTPFPFWCB = FindEntry<FARPROC>(h, "QFTPFPFWCB");
    pfnQFTPFGLE = FindEntry<FARPROC>(h, "QFTPFGLE");
    pfnQFTPFCLE = FindEntry<FARPROC>(h, "QFTPFCLE");
    pfnQFTPRF = FindEntry<FARPROC>(h, "QFTPRF");
    pfnQFTPDF = FindEntry<FARPROC>(h, "QFTPDF");
    pfnQFTPGFI = FindEntry<FARPROC>(h, "QFTPGFI");
    pfnQFTPCF = FindEntry<FARPROC>(h, "QFTPCF");
    pfnQFTPFE = FindEntry<FARPROC>(h, "QFTPFE");
    pfnQFTPFFF = FindEntry<FARPROC>(h, "QFTPFFF");
    pfnQFTPGFS = FindEntry<PFNQFTPGFS>(h, "QFTPGFS");
    pfnQFTPFGFWCBW = FindEntry<PFNQFTPFGFWCBW>(h, "QFTPFGFWCBW");

    const bool complete = pfnQFTPIFO && pfnQFTPUFO && pfnQFTPFLON && pfnQFTPFLOFF && pfnQFTPFGFWCB &&
                          pfnQFTPFPFWCB && pfnQFTPFGLE && pfnQFTPFCLE && pfnQFTPRF && pfnQFTPDF && pfnQFTPGFI &&
                          pfnQFTPCF && pfnQFTPFE && pfnQFTPFFF && pfnQFTPGFS;
    // The library stays loaded and the entries found stay usable: an incomplete library may
    // still lack only entries that are never called.
    if (!complete && notify) notify(L"Load QXFtp.dll fail!", L"Error");
}

int CQXFtp::Open() { return pfnQFTPIFO ? pfnQFTPIFO() : 0; }

int CQXFtp::Close(int hSession) { return pfnQFTPUFO ? pfnQFTPUFO(hSession) : 0; }

int CQXFtp::LogOn(int hSession, const char* host, int port, const char* user, const char* password,
                  const char* proxyHost, const char* proxyUser, const char* proxyPassword,
                  const char* proxyAccount, int proxyPort, int flags) {
    if (!pfnQFTPFLON) return 0;
    return pfnQFTPFLON(hSession, host, port, user, password, proxyHost, proxyUser, proxyPassword, proxyAccount,
                       proxyPort, flags);
}

int CQXFtp::LogOff(int hSession) { return pfnQFTPFLOFF ? pfnQFTPFLOFF(hSession) : 0; }

int CQXFtp::DownloadFile(int hSession, const char* remotePath, const char* localPath, int mode,
                         QXPROGRESSCALLBACK callback, void* pContext) {
    if (!pfnQFTPFGFWCB) return 0;
    return pfnQFTPFGFWCB(hSession, remotePath, localPath, mode, callback, pContext);
}

int CQXFtp::GetRemoteFileSize(int hSession, const char* remotePath, long long* pSize) {
    return pfnQFTPGFS ? pfnQFTPGFS(hSession, remotePath, pSize) : 0;
}

int CQXFtp::DownloadFileWide(int hSession, const char* remotePath, const wchar_t* localPath, int mode,
                             QXPROGRESSCALLBACK callback, void* pContext) {
    if (!pfnQFTPFGFWCBW) return 0;
    return pfnQFTPFGFWCBW(hSession, remotePath, localPath, mode, callback, pContext);
}
