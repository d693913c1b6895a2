// A stand-in QXHttp.dll for the binding's tests: records its call in a log that the test reads
// through StubReadLog, reports 250 per mille and answers 2, a value the binding must pass on as is.
#include <windows.h>

#include <cstring>
#include <string>

#include "bindings/ProgressCallback.h"

namespace {
std::wstring g_log;
}

extern "C" {
// Copies the log (terminated) into buffer and clears it; 1 when it fit, else 0.
int WINAPI StubReadLog(wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0 || g_log.size() + 1 > static_cast<size_t>(capacity)) return 0;
    memcpy(buffer, g_log.c_str(), (g_log.size() + 1) * sizeof(wchar_t));
    g_log.clear();
    return 1;
}

int WINAPI QXGFWCB(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback, void* pContext,
                   int maxRedirects) {
    g_log = std::wstring(url) + L" > " + targetPath + L" redirects " + std::to_wstring(maxRedirects);
    g_log += L" callback " + std::to_wstring(callback(250, pContext));
    return 2;
}
}
