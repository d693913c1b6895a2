#pragma once
#include <windows.h>

#include <QXFtp.h>

#include "bindings/ProgressCallback.h"
#include "bindings/TransferLibraryModule.h"

// The FTP transfer library QXFtp.dll, loaded from the executable's directory for one download
// attempt on one thread. All fifteen entries must be present, or the user is told once; a call
// whose entry is missing returns 0 without calling anything.
class CQXFtp {
public:
    // The entry types of the library's own header (angle brackets: not this file).
    typedef QFTPIFO_ENTRY* PFNQFTPIFO;
    typedef QFTPUFO_ENTRY* PFNQFTPUFO;
    typedef QFTPFLON_ENTRY* PFNQFTPFLON;
    typedef QFTPFLOFF_ENTRY* PFNQFTPFLOFF;
    typedef QFTPFGFWCB_ENTRY* PFNQFTPFGFWCB;
    typedef QFTPGFS_ENTRY* PFNQFTPGFS;
    // Optional: the download with a UTF-16 local path. A library without it is still complete.
    typedef QFTPFGFWCBW_ENTRY* PFNQFTPFGFWCBW;

    CQXFtp();
    // Loads `libraryName` instead and reports a load failure through `notify`; for tests.
    CQXFtp(const wchar_t* libraryName, LoadFailureNotifier notify);
    CQXFtp(const CQXFtp&) = delete;
    CQXFtp& operator=(const CQXFtp&) = delete;

    int Open();
    int Close(int hSession);
    int LogOn(int hSession, const char* host, int port, const char* user, const char* password,
              const char* proxyHost, const char* proxyUser, const char* proxyPassword, const char* proxyAccount,
              int proxyPort, int flags);
    int LogOff(int hSession);
    int DownloadFile(int hSession, const char* remotePath, const char* localPath, int mode,
                     QXPROGRESSCALLBACK callback, void* pContext);
    int GetRemoteFileSize(int hSession, const char* remotePath, long long* pSize);
    bool HasWideDownload() const { return pfnQFTPFGFWCBW != nullptr; }
    // The download through the optional entry; 0 when the library lacks it.
    int DownloadFileWide(int hSession, const char* remotePath, const wchar_t* localPath, int mode,
                         QXPROGRESSCALLBACK callback, void* pContext);

private:
    UniqueModule hLibrary;
    PFNQFTPIFO pfnQFTPIFO = nullptr;
    PFNQFTPUFO pfnQFTPUFO = nullptr;
    PFNQFTPFLON pfnQFTPFLON = nullptr;
    PFNQFTPFLOFF pfnQFTPFLOFF = nullptr;
    PFNQFTPFGFWCB pfnQFTPFGFWCB = nullptr;
    // Never called; looked up only so that an incomplete library is reported.
    FARPROC pfnQFTPFPFWCB = nullptr;
    FARPROC pfnQFTPFGLE = nullptr;
    FARPROC pfnQFTPFCLE = nullptr;
    FARPROC pfnQFTPRF = nullptr;
    FARPROC pfnQFTPDF = nullptr;
    FARPROC pfnQFTPGFI = nullptr;
    FARPROC pfnQFTPCF = nullptr;
    FARPROC pfnQFTPFE = nullptr;
    FARPROC pfnQFTPFFF = nullptr;
    PFNQFTPGFS pfnQFTPGFS = nullptr;
    PFNQFTPFGFWCBW pfnQFTPFGFWCBW = nullptr;
};
