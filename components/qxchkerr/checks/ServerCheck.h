#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ProxyRules.h"
#include "checks/CheckFinding.h"
#include "checks/Socket.h"
#include "config/UrlParts.h"

struct ServerCheckResult {
    CheckFinding finding;
    long long nPackageSize = -1;  // the size the server reports, -1 when it told none
};

// FTP: greeting, log-on with the URL's user and password ("anonymous" when the URL names no
// user), binary mode, then SIZE of the URL path, as the installer's FTP library will do it.
// The session is opened to the first address that accepts; everything ends within `timeoutMs`.
ServerCheckResult CheckFtpServer(const std::vector<CSocketAddress>& addresses, const CUrlParts& url, DWORD timeoutMs);

// HTTP and HTTPS: a HEAD request for the URL (a ranged GET when the server refuses HEAD), with
// redirects followed and the certificate checked, through WinHTTP and the proxy QXHttp would take
// (a Negotiate or NTLM proxy gets the user's Windows login once). Within `timeoutMs`.
ServerCheckResult CheckHttpServer(const std::wstring& strUrl, DWORD timeoutMs, const ProxyChoice& proxy = ProxyChoice());
