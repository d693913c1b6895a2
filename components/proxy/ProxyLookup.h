#pragma once
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "ProxyRules.h"

// The WinHTTP entries the look-up and the proxy log-on need. QXHttp passes the ones it links; the checker passes the
// ones it loaded from the system folder, so it still imports known DLLs only.
struct ProxyEntries {
    decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfigForCurrentUser = nullptr;
    decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
    decltype(&::WinHttpOpen) Open = nullptr;
    decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
    decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
    decltype(&::WinHttpSetOption) SetOption = nullptr;
    decltype(&::WinHttpQueryAuthSchemes) QueryAuthSchemes = nullptr;
    decltype(&::WinHttpSetCredentials) SetCredentials = nullptr;
};

// The proxy for `url` (whose scheme, host and port the caller has split) by the current user's
// settings, in the order browsers use. Once decided for a scheme, host and port, the answer is
// kept for the rest of the process. A script is given at most `timeoutMs` per step.
ProxyChoice LookUpProxy(const ProxyEntries& entries, const std::wstring& url, const std::wstring& host,
                        INTERNET_PORT port, bool secure, DWORD timeoutMs);

// After a 407 from the proxy: lets WinHTTP answer a Negotiate or NTLM challenge with the user's
// own Windows login on the next send of this request. False when the proxy offers neither:
// Basic is never answered (the password would travel in clear) and nobody is asked for one.
bool PrepareProxyLogon(const ProxyEntries& entries, HINTERNET request);
