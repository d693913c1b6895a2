#include "bindings/QXHttp.h"

CQXHttp::CQXHttp() : CQXHttp(L"QXHttp.dll", ShowLoadFailureBox) {}

CQXHttp::CQXHttp(const wchar_t* libraryName, LoadFailureNotifier notify)
    : hLibrary(LoadLibraryBesideExecutable(libraryName)) {
    if (!hLibrary) return;
    pfnQXGFWCB = FindEntry<PFNQXGFWCB>(hLibrary, "QXGFWCB");
    if (!pfnQXGFWCB && notify) notify(L"UQXHttp:load QXHttp.dll error!", L"error");
    pfnQXGFWCBF = FindEntry<PFNQXGFWCBF>(hLibrary, "QXGFWCBF");
}

int CQXHttp::DownloadFile(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                          void* pContext, int maxRedirects) {
    if (!pfnQXGFWCB) return -1;
    return pfnQXGFWCB(url, targetPath, callback, pContext, maxRedirects);
}

int CQXHttp::DownloadFileWithFlags(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                                   void* pContext, int maxRedirects, unsigned int flags) {
    if (!pfnQXGFWCB) return -1;
    if (!pfnQXGFWCBF) return pfnQXGFWCB(url, targetPath, callback, pContext, maxRedirects);
    return pfnQXGFWCBF(url, targetPath, callback, pContext, maxRedirects, flags);
}
