#include "HttpDownload.h"
#include "QXHttp.h"

namespace {
int Download(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback, void* pContext,
             int maxRedirects, unsigned int flags) {
    if (url == nullptr || targetPath == nullptr || url[0] == L'\0' || targetPath[0] == L'\0') return 0;
    if ((flags & ~QXHTTP_ACCEPT_UNSIZED_BODY) != 0) return 0;  // a flag we do not know changes what 1 means
    // No C++ exception may cross into the caller; running out of memory is a plain failure.
    try {
        CHttpDownload download(url, targetPath, callback, pContext, maxRedirects,
                               (flags & QXHTTP_ACCEPT_UNSIZED_BODY) != 0);
        return download.Run();
    } catch (...) {
        return 0;
    }
}
}  // namespace

extern "C" int WINAPI QXGFWCB(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                              void* pContext, int maxRedirects) {
    return Download(url, targetPath, callback, pContext, maxRedirects, 0);
}

extern "C" int WINAPI QXGFWCBF(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                               void* pContext, int maxRedirects, unsigned int flags) {
    return Download(url, targetPath, callback, pContext, maxRedirects, flags);
}
