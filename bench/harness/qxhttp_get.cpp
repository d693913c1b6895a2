// Fetches one URL with QXHttp.dll, as the installer's HTTP worker does, without the window:
//   qxhttp_get <folder with QXHttp.dll> <url> <target path>      (the data lands in target + "_tmp")
#include "HarnessCommon.h"

typedef int(CALLBACK* QXPROGRESSCALLBACK)(int nPerMille, void* pContext);
typedef int(WINAPI* QxGet)(const wchar_t*, const wchar_t*, QXPROGRESSCALLBACK, void*, int);

static int CALLBACK CountProgress(int, void* context) {
    ++*static_cast<long long*>(context);
    return 1;
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qxhttp_get <dll folder> <url> <target path>\n");
        return 2;
    }
    const std::wstring dll = std::wstring(argv[1]) + L"\\QXHttp.dll";
    bench::Library library(LoadLibraryW(dll.c_str()));
    if (!library) return bench::Report("no-library", 0, 0, 0), 3;
    auto get = reinterpret_cast<QxGet>(GetProcAddress(library.Get(), "QXGFWCB"));
    if (!get) return bench::Report("no-entry", 0, 0, 0), 3;
    long long callbacks = 0;
    const double start = bench::NowMilliseconds();
    const int got = get(argv[2], argv[3], CountProgress, &callbacks, 10);
    const double elapsed = bench::NowMilliseconds() - start;
    bench::Report(got == 1 ? "ok" : "transfer-failed", bench::FileSize(std::wstring(argv[3]) + L"_tmp"), elapsed, callbacks);
    return got == 1 ? 0 : 5;
}
