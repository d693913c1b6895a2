// A stand-in QXFtp.dll for the binding's tests: it records each call with its arguments in a
// log that the test reads through StubReadLog, and answers with fixed, recognisable values.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bindings/ProgressCallback.h"

namespace {
std::string g_log;

void Record(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    const int length = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0 || static_cast<size_t>(length) >= sizeof line) {
        g_log += "<line too long>\n";
        return;
    }
    g_log += line;
    g_log += '\n';
}
}  // namespace

extern "C" {
// Copies the log (terminated) into buffer and clears it; 1 when it fit, else 0.
int WINAPI StubReadLog(char* buffer, int capacity) {
    if (!buffer || capacity <= 0 || g_log.size() + 1 > static_cast<size_t>(capacity)) return 0;
    memcpy(buffer, g_log.c_str(), g_log.size() + 1);
    g_log.clear();
    return 1;
}

int WINAPI QFTPIFO(void) {
    Record("IFO");
    return 7;
}
int WINAPI QFTPUFO(int hSession) {
    Record("UFO %d", hSession);
    return 1;
}
int WINAPI QFTPFLON(int hSession, const char* host, int port, const char* user, const char* password,
                    const char* proxyHost, const char* proxyUser, const char* proxyPassword,
                    const char* proxyAccount, int proxyPort, int flags) {
    Record("FLON %d %s %d %s %s [%s|%s|%s|%s] %d %d", hSession, host, port, user, password, proxyHost, proxyUser,
           proxyPassword, proxyAccount, proxyPort, flags);
    return std::string(password) == "right" ? 1 : 2;
}
int WINAPI QFTPFLOFF(int hSession) {
    Record("FLOFF %d", hSession);
    return 1;
}
int WINAPI QFTPGFS(int hSession, const char* remotePath, long long* pSize) {
    Record("GFS %d %s", hSession, remotePath);
    *pSize = 0x140000003LL;  // above 4 GiB, so that a cut to 32 bits shows
    return 1;
}
// Reports 0, 500 and 1000 per mille and stops as soon as the callback says so.
int WINAPI QFTPFGFWCB(int hSession, const char* remotePath, const char* localPath, int mode,
                      QXPROGRESSCALLBACK callback, void* pContext) {
    Record("FGFWCB %d %s %s %d", hSession, remotePath, localPath, mode);
    for (int perMille : {0, 500, 1000}) {
        if (callback(perMille, pContext) != 1) return 0;
    }
    return 1;
}
int WINAPI QFTPFPFWCB(void) { return 0; }
int WINAPI QFTPFGLE(void) { return 0; }
int WINAPI QFTPFCLE(void) { return 0; }
int WINAPI QFTPRF(void) { return 0; }
int WINAPI QFTPDF(void) { return 0; }
int WINAPI QFTPGFI(void) { return 0; }
int WINAPI QFTPCF(void) { return 0; }
int WINAPI QFTPFE(void) { return 0; }
int WINAPI QFTPFFF(void) { return 0; }
}
