#include "HttpDownload.h"
#include "QXHttp.h"

extern "C" int WINAPI QXGFWCB(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                              void* pContext, int maxRedirects) {
    if (url == nullptr || targetPath == nullptr || url[0] == L'\0' || targetPath[0] == L'\0') return 0;
    // No C++ exception may cross into the caller; running out of memory is a plain failure.
    try {
        CHttpDownload download(url, targetPath, callback, pContext, maxRedirects);
        return download.Run();
    } catch (...) {
        return 0;
    }
}
