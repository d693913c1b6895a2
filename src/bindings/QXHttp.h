#pragma once
#include <windows.h>

#include "bindings/ProgressCallback.h"
#include "bindings/TransferLibraryModule.h"

// The HTTP transfer library QXHttp.dll, loaded from the executable's directory for one download
// attempt on one thread. A library that cannot be loaded is silent; one without QXGFWCB is
// reported. Either way DownloadFile then returns -1.
class CQXHttp {
public:
    typedef int(WINAPI* PFNQXGFWCB)(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                                    void* pContext, int maxRedirects);

    CQXHttp();
    // Loads `libraryName` instead and reports a missing entry through `notify`; for tests.
    CQXHttp(const wchar_t* libraryName, LoadFailureNotifier notify);
    CQXHttp(const CQXHttp&) = delete;
    CQXHttp& operator=(const CQXHttp&) = delete;

    int DownloadFile(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback, void* pContext,
                     int maxRedirects);

private:
    PFNQXGFWCB pfnQXGFWCB = nullptr;
    LibraryModule hLibrary;
};
