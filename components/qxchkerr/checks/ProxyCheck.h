#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ProxyRules.h"
#include "checks/CheckFinding.h"
#include "checks/Socket.h"
#include "config/UrlParts.h"

// The proxy QXHttp takes for this http(s) URL (the same shared code); direct for FTP, which
// does not use the browser's proxy. Within `timeoutMs`; direct when no answer came in time.
ProxyChoice ProxyForCheck(const std::wstring& strUrl, const CUrlParts& url, DWORD timeoutMs);

// The connection check through a proxy: a TCP connection to it and, for https, the tunnel to the
// server (CONNECT). A proxy that wants Negotiate or NTLM passes here: the server check, through
// WinHTTP, answers it with the user's Windows login. Findings name the proxy.
CheckFinding CheckProxyTunnel(const std::vector<CSocketAddress>& proxyAddresses, const ProxyChoice& proxy,
                              const CUrlParts& url, DWORD timeoutMs);
