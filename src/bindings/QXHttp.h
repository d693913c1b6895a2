#pragma once
#include <windows.h>

#include <QXHttp.h>

#include "bindings/ProgressCallback.h"
#include "bindings/TransferLibraryModule.h"

// The HTTP transfer library QXHttp.dll, loaded from the executable's directory for one download
// attempt on one thread. A library that cannot be loaded is silent; one without QXGFWCB is
// reported. Either way DownloadFile then returns -1.
class CQXHttp {
public:
    // The entry types of the library's own header (angle brackets: not this file).
    typedef QXGFWCB_ENTRY* PFNQXGFWCB;
    // Optional entry: QXGFWCB with flags.
    typedef QXGFWCBF_ENTRY* PFNQXGFWCBF;
    // The caller checks the file's SHA-256 itself: a whole-file answer without length may be taken.
    static constexpr unsigned int ACCEPT_UNSIZED_BODY = QXHTTP_ACCEPT_UNSIZED_BODY;

    CQXHttp();
    // Loads `libraryName` instead and reports a missing entry through `notify`; for tests.
    CQXHttp(const wchar_t* libraryName, LoadFailureNotifier notify);
    CQXHttp(const CQXHttp&) = delete;
    CQXHttp& operator=(const CQXHttp&) = delete;

    int DownloadFile(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback, void* pContext,
                     int maxRedirects);
    // DownloadFile through the optional entry when the library has it, else as DownloadFile.
    int DownloadFileWithFlags(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                              void* pContext, int maxRedirects, unsigned int flags);

private:
    PFNQXGFWCB pfnQXGFWCB = nullptr;
    PFNQXGFWCBF pfnQXGFWCBF = nullptr;
    UniqueModule hLibrary;
};
