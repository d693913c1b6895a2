#pragma once
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

#include "DownloadStateFile.h"
#include "PartialFile.h"
#include "ProgressPacing.h"
#include "QXHttp.h"
#include "ResumeDecision.h"
#include "SystemProxy.h"
#include "Handles.h"

// One call of QXGFWCB or QXGFWCBF: fetch a URL into the partial file, continuing it when that is safe.
class CHttpDownload {
public:
    CHttpDownload(std::wstring url, const std::wstring& targetPath, QXPROGRESSCALLBACK callback, void* context,
                  int maxRedirects, bool acceptUnsizedBody = false);
    CHttpDownload(const CHttpDownload&) = delete;
    CHttpDownload& operator=(const CHttpDownload&) = delete;

    int Run();  // 1 = the partial file holds the whole file

private:
    struct Exchange {
        UniqueWinHttp connection;  // a request is closed before its connection: declared after it
        UniqueWinHttp request;
    };

    bool UseSessionFor(const ProxyChoice& proxy);
    bool SendAndReceive(HINTERNET request);
    bool Send(const std::wstring& url, const RequestPlan& plan, Exchange& exchange);
    bool ReadFacts(HINTERNET request, ResponseFacts& facts);
    bool FollowRedirect(HINTERNET request, std::wstring& url, int& redirectsLeft);
    bool StartWholeFile(HINTERNET request, const ResponseDecision& decision);
    bool Complete(const ResponseDecision& decision);
    bool ReceiveBody(HINTERNET request, const ResponseDecision& decision);
    bool Report(int perMille);  // false when the caller asked to stop
    DWORD TimeLeftBeforeBody() const;  // of the budget up to the first body byte; 0 when spent

    std::wstring m_url;
    QXPROGRESSCALLBACK m_callback;
    void* m_context;
    int m_maxRedirects;
    bool m_acceptUnsizedBody;
    std::wstring m_partialPath;
    CDownloadStateFile m_state;
    CPartialFile m_file;
    // Without a spacing: a synchronous WinHTTP read cannot be waited for with a deadline, so a
    // held-back change could not be shown during a pause. Under Wine WinHTTP is slow enough that
    // the reports do not show in the time of a run.
    ProgressPacer m_pacer;
    UniqueWinHttp m_session;
    std::wstring m_sessionProxy;  // the proxy m_session goes through; empty: direct
    ULONGLONG m_startMs = 0;
};
