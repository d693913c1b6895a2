// Fetches one file with QXFtp.dll, as the installer's FTP worker does, without the window:
//   qxftp_get <folder with QXFtp.dll> <host> <port> <remote path> <local path>
// Anonymous log-on; the transfer continues a partial local file as the library decides.
#include "HarnessCommon.h"

typedef int(CALLBACK* QXPROGRESSCALLBACK)(int nPerMille, void* pContext);
typedef int(WINAPI* QftpIfo)(void);
typedef int(WINAPI* QftpUfo)(int);
typedef int(WINAPI* QftpLogOn)(int, const char*, int, const char*, const char*, const char*, const char*,
                               const char*, const char*, int, int);
typedef int(WINAPI* QftpLogOff)(int);
typedef int(WINAPI* QftpSize)(int, const char*, long long*);
typedef int(WINAPI* QftpGet)(int, const char*, const char*, int, QXPROGRESSCALLBACK, void*);

static int CALLBACK CountProgress(int, void* context) {
    ++*static_cast<long long*>(context);
    return 1;
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: qxftp_get <dll folder> <host> <port> <remote path> <local path>\n");
        return 2;
    }
    const std::wstring dll = std::wstring(argv[1]) + L"\\QXFtp.dll";
    bench::Library library(LoadLibraryW(dll.c_str()));
    if (!library) return bench::Report("no-library", 0, 0, 0), 3;
    auto open = reinterpret_cast<QftpIfo>(GetProcAddress(library.Get(), "QFTPIFO"));
    auto close = reinterpret_cast<QftpUfo>(GetProcAddress(library.Get(), "QFTPUFO"));
    auto logOn = reinterpret_cast<QftpLogOn>(GetProcAddress(library.Get(), "QFTPFLON"));
    auto logOff = reinterpret_cast<QftpLogOff>(GetProcAddress(library.Get(), "QFTPFLOFF"));
    auto size = reinterpret_cast<QftpSize>(GetProcAddress(library.Get(), "QFTPGFS"));
    auto get = reinterpret_cast<QftpGet>(GetProcAddress(library.Get(), "QFTPFGFWCB"));
    if (!open || !close || !logOn || !logOff || !size || !get) return bench::Report("no-entry", 0, 0, 0), 3;

    const std::string host = bench::ToUtf8(argv[2]);
    const int port = _wtoi(argv[3]);
    const std::string remote = bench::ToUtf8(argv[4]);
    const std::string local = bench::ToUtf8(argv[5]);
    long long callbacks = 0;
    const double start = bench::NowMilliseconds();
    const int session = open();
    if (session == 0) return bench::Report("open-failed", 0, 0, 0), 4;
    int rc = 4;
    const char* result = "logon-failed";
    if (logOn(session, host.c_str(), port, "anonymous", "", "", "", "", "", port, 0) == 1) {
        long long remoteSize = 0;
        result = "size-failed";
        if (size(session, remote.c_str(), &remoteSize) == 1) {
            const int got = get(session, remote.c_str(), local.c_str(), 1, CountProgress, &callbacks);
            result = got == 1 ? "ok" : "transfer-failed";
            rc = got == 1 ? 0 : 5;
        }
        logOff(session);
    }
    close(session);
    bench::Report(result, bench::FileSize(argv[5]), bench::NowMilliseconds() - start, callbacks);
    return rc;
}
