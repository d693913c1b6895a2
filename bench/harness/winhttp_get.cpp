// The floor for any WinHTTP-based download under Wine: a bare read loop that writes what it reads.
//   winhttp_get <url> <local path>
#include "HarnessCommon.h"

#include <winhttp.h>

#include <vector>

namespace {
struct Internet : UniqueWinHttp {
    explicit Internet(HINTERNET handle) : UniqueWinHttp(handle, WinHttpCloseHandle) {}
};
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: winhttp_get <url> <local path>\n");
        return 2;
    }
    wchar_t host[1024] = L"";
    wchar_t path[4096] = L"";
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 1024;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 4096;
    if (!WinHttpCrackUrl(argv[1], 0, 0, &parts)) return bench::Report("bad-url", 0, 0, 0), 2;

    const double start = bench::NowMilliseconds();
    Internet session(WinHttpOpen(L"fennick-bench", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return bench::Report("open-failed", 0, 0, 0), 4;
    Internet connection(WinHttpConnect(session.Get(), host, parts.nPort, 0));
    if (!connection) return bench::Report("connect-failed", 0, 0, 0), 4;
    const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    Internet request(WinHttpOpenRequest(connection.Get(), L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!request) return bench::Report("request-failed", 0, 0, 0), 4;
    if (!WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.Get(), nullptr)) {
        std::printf("error=%lu\n", GetLastError());
        return bench::Report("send-failed", 0, 0, 0), 4;
    }
    bench::FileHandle file(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return bench::Report("create-failed", 0, 0, 0), 4;
    std::vector<char> buffer(1 << 20);
    long long total = 0;
    long long reads = 0;
    for (;;) {
        DWORD got = 0;
        if (!WinHttpReadData(request.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got))
            return bench::Report("read-failed", total, bench::NowMilliseconds() - start, reads), 5;
        if (got == 0) break;
        DWORD written = 0;
        if (!WriteFile(file.Get(), buffer.data(), got, &written, nullptr) || written != got)
            return bench::Report("write-failed", total, bench::NowMilliseconds() - start, reads), 5;
        total += got;
        ++reads;
    }
    bench::Report("ok", total, bench::NowMilliseconds() - start, reads);
    return 0;
}
