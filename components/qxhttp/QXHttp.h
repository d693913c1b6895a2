#pragma once
// Public entry of QXHttp.dll.
#include <windows.h>

typedef int(CALLBACK* QXPROGRESSCALLBACK)(int nPerMille, void* pContext);  // 1 = go on, 0 = stop

// Fetches `url` (http or https) into targetPath + "_tmp", keeping its state in
// targetPath + "_tmp_sz" (section "Main": "size" = total bytes, plus the validator it needs to
// continue a partial file safely; other keys are left alone).
// maxRedirects: the most redirects followed in this call (the installer passes 10); a
// further redirect fails the call. Values below 0 count as 0.
// Returns 1 only when targetPath + "_tmp" holds the whole file; 0 on any failure or when
// the callback asked to stop (returned 0).
// Each entry's type, shared with the installer's look-up so that both sides agree on i686.
typedef int WINAPI QXGFWCB_ENTRY(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                                 void* pContext, int maxRedirects);
extern "C" QXGFWCB_ENTRY QXGFWCB;

// QXGFWCBF flags.
// The caller verifies the finished file's content itself (a SHA-256 it knows), so a 200 answer
// without Content-Length is taken, and the file counts as whole when its body ends cleanly.
constexpr unsigned int QXHTTP_ACCEPT_UNSIZED_BODY = 1;

// As QXGFWCB, with flags (above). An unknown flag fails the call (0).
typedef int WINAPI QXGFWCBF_ENTRY(const wchar_t* url, const wchar_t* targetPath, QXPROGRESSCALLBACK callback,
                                  void* pContext, int maxRedirects, unsigned int flags);
extern "C" QXGFWCBF_ENTRY QXGFWCBF;

#include "WinApiEntry.h"
QX_ASSERT_ENTRY(QXGFWCB_ENTRY, QXGFWCB);
QX_ASSERT_ENTRY(QXGFWCBF_ENTRY, QXGFWCBF);
