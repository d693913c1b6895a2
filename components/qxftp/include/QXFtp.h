#pragma once
// QXFtp.dll: an FTP client library with sixteen entries. Every entry uses the Win32 calling
// convention and is exported under its plain name on both architectures. Strings are
// zero-terminated 8-bit strings (local paths in the ANSI code page); integers are 32 bits wide;
// sizes are 64 bits. README.md beside this header describes each entry in full.
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int(CALLBACK* QXPROGRESSCALLBACK)(int nPerMille, void* pContext);  // 1 = go on, 0 = stop

// Last-error codes (QFTPFGLE).
enum {
    QXFTP_E_NONE = 0,
    QXFTP_E_INVALID_HANDLE = 1,
    QXFTP_E_INVALID_ARGUMENT = 2,
    QXFTP_E_NOT_LOGGED_ON = 3,
    QXFTP_E_RESOLVE = 4,
    QXFTP_E_CONNECT = 5,
    QXFTP_E_TIMEOUT = 6,
    QXFTP_E_CONNECTION_LOST = 7,
    QXFTP_E_PROTOCOL = 8,
    QXFTP_E_LOGON_REFUSED = 9,
    QXFTP_E_REFUSED = 10,
    QXFTP_E_INCOMPLETE = 11,
    QXFTP_E_STOPPED = 12,
    QXFTP_E_LOCAL_FILE = 13,
    QXFTP_E_BUFFER_TOO_SMALL = 14,
    QXFTP_E_NO_RESOURCES = 15,
    QXFTP_E_NOT_SUPPORTED = 16,
    QXFTP_E_NOT_FOUND = 17,
    QXFTP_E_BUSY = 18,
};

// QFTPFGLE: a buffer of this many characters always holds the whole text.
#define QXFTP_ERROR_TEXT_CAPACITY 1024

// QFTPFLON flags (the last argument).
#define QXFTP_LOGON_PASV_ONLY 0x00000001u          // never try EPSV (IPv4 only)
#define QXFTP_LOGON_TIMEOUT_MASK 0x0000FF00u       // receive time-out in seconds, 0 = 60
#define QXFTP_LOGON_TIMEOUT_SHIFT 8

// Transfer modes (QFTPFGFWCB, QFTPFPFWCB).
#define QXFTP_MODE_REPLACE 0
#define QXFTP_MODE_CONTINUE 1

// Each entry's type. The library's definitions and the installer's look-ups both take it from
// here, so that the two sides cannot disagree on the calling convention on i686.
typedef int WINAPI QFTPIFO_ENTRY(void);
typedef int WINAPI QFTPUFO_ENTRY(int hSession);
typedef int WINAPI QFTPFLON_ENTRY(int hSession, const char* host, int port, const char* user, const char* password,
                                  const char* proxyHost, const char* proxyUser, const char* proxyPassword,
                                  const char* proxyAccount, int proxyPort, int flags);
typedef int WINAPI QFTPFLOFF_ENTRY(int hSession);
typedef int WINAPI QFTPGFS_ENTRY(int hSession, const char* remotePath, long long* pSize);
typedef int WINAPI QFTPFGFWCB_ENTRY(int hSession, const char* remotePath, const char* localPath, int mode,
                                    QXPROGRESSCALLBACK callback, void* pContext);
// As QFTPFGFWCB with the local path in UTF-16, for folders that the ANSI code page cannot name.
typedef int WINAPI QFTPFGFWCBW_ENTRY(int hSession, const char* remotePath, const wchar_t* localPath, int mode,
                                     QXPROGRESSCALLBACK callback, void* pContext);
typedef int WINAPI QFTPFPFWCB_ENTRY(int hSession, const char* localPath, const char* remotePath, int mode,
                                    QXPROGRESSCALLBACK callback, void* pContext);
typedef int WINAPI QFTPFGLE_ENTRY(int hSession, char* text, int capacity);
typedef int WINAPI QFTPFCLE_ENTRY(int hSession);
typedef int WINAPI QFTPRF_ENTRY(int hSession, const char* fromPath, const char* toPath);
typedef int WINAPI QFTPDF_ENTRY(int hSession, const char* remotePath);
typedef int WINAPI QFTPGFI_ENTRY(int hSession, const char* remotePath, long long* pSize, char* modified, int capacity);
typedef int WINAPI QFTPCF_ENTRY(int hSession, const char* remoteFolder);
typedef int WINAPI QFTPFE_ENTRY(int hSession, const char* remotePath);
typedef int WINAPI QFTPFFF_ENTRY(int hSession, const char* remotePath, char* name, int capacity);

QFTPIFO_ENTRY QFTPIFO;
QFTPUFO_ENTRY QFTPUFO;
QFTPFLON_ENTRY QFTPFLON;
QFTPFLOFF_ENTRY QFTPFLOFF;
QFTPGFS_ENTRY QFTPGFS;
QFTPFGFWCB_ENTRY QFTPFGFWCB;
QFTPFGFWCBW_ENTRY QFTPFGFWCBW;
QFTPFPFWCB_ENTRY QFTPFPFWCB;
QFTPFGLE_ENTRY QFTPFGLE;
QFTPFCLE_ENTRY QFTPFCLE;
QFTPRF_ENTRY QFTPRF;
QFTPDF_ENTRY QFTPDF;
QFTPGFI_ENTRY QFTPGFI;
QFTPCF_ENTRY QFTPCF;
QFTPFE_ENTRY QFTPFE;
QFTPFFF_ENTRY QFTPFFF;

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include "WinApiEntry.h"
QX_ASSERT_ENTRY(QFTPIFO_ENTRY, QFTPIFO);
QX_ASSERT_ENTRY(QFTPUFO_ENTRY, QFTPUFO);
QX_ASSERT_ENTRY(QFTPFLON_ENTRY, QFTPFLON);
QX_ASSERT_ENTRY(QFTPFLOFF_ENTRY, QFTPFLOFF);
QX_ASSERT_ENTRY(QFTPGFS_ENTRY, QFTPGFS);
QX_ASSERT_ENTRY(QFTPFGFWCB_ENTRY, QFTPFGFWCB);
QX_ASSERT_ENTRY(QFTPFGFWCBW_ENTRY, QFTPFGFWCBW);
QX_ASSERT_ENTRY(QFTPFPFWCB_ENTRY, QFTPFPFWCB);
QX_ASSERT_ENTRY(QFTPFGLE_ENTRY, QFTPFGLE);
QX_ASSERT_ENTRY(QFTPFCLE_ENTRY, QFTPFCLE);
QX_ASSERT_ENTRY(QFTPRF_ENTRY, QFTPRF);
QX_ASSERT_ENTRY(QFTPDF_ENTRY, QFTPDF);
QX_ASSERT_ENTRY(QFTPGFI_ENTRY, QFTPGFI);
QX_ASSERT_ENTRY(QFTPCF_ENTRY, QFTPCF);
QX_ASSERT_ENTRY(QFTPFE_ENTRY, QFTPFE);
QX_ASSERT_ENTRY(QFTPFFF_ENTRY, QFTPFFF);
#endif
