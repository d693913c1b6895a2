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

int WINAPI QFTPIFO(void);
int WINAPI QFTPUFO(int hSession);
int WINAPI QFTPFLON(int hSession, const char* host, int port, const char* user, const char* password,
                    const char* proxyHost, const char* proxyUser, const char* proxyPassword,
                    const char* proxyAccount, int proxyPort, int flags);
int WINAPI QFTPFLOFF(int hSession);
int WINAPI QFTPGFS(int hSession, const char* remotePath, long long* pSize);
int WINAPI QFTPFGFWCB(int hSession, const char* remotePath, const char* localPath, int mode,
                      QXPROGRESSCALLBACK callback, void* pContext);
// As QFTPFGFWCB with the local path in UTF-16, for folders that the ANSI code page cannot name.
int WINAPI QFTPFGFWCBW(int hSession, const char* remotePath, const wchar_t* localPath, int mode,
                       QXPROGRESSCALLBACK callback, void* pContext);
int WINAPI QFTPFPFWCB(int hSession, const char* localPath, const char* remotePath, int mode,
                      QXPROGRESSCALLBACK callback, void* pContext);
int WINAPI QFTPFGLE(int hSession, char* text, int capacity);
int WINAPI QFTPFCLE(int hSession);
int WINAPI QFTPRF(int hSession, const char* fromPath, const char* toPath);
int WINAPI QFTPDF(int hSession, const char* remotePath);
int WINAPI QFTPGFI(int hSession, const char* remotePath, long long* pSize, char* modified, int capacity);
int WINAPI QFTPCF(int hSession, const char* remoteFolder);
int WINAPI QFTPFE(int hSession, const char* remotePath);
int WINAPI QFTPFFF(int hSession, const char* remotePath, char* name, int capacity);

#ifdef __cplusplus
}
#endif
