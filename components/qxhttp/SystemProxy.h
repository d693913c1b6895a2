#pragma once
#include <windows.h>
#include <winhttp.h>

#include <string>

// The user's proxy settings, applied the way a browser applies them: automatic detection
// and a configuration script when set (evaluated for each URL), else the manual proxy with
// its bypass list, else a direct connection.
class CSystemProxy {
public:
    CSystemProxy();
    ~CSystemProxy();
    CSystemProxy(const CSystemProxy&) = delete;
    CSystemProxy& operator=(const CSystemProxy&) = delete;

    // Sets the proxy for one request. False only when a proxy was found but could not be set.
    bool ApplyTo(HINTERNET session, HINTERNET request, const std::wstring& url);

private:
    bool TryAutomatic(HINTERNET session, HINTERNET request, const std::wstring& url, bool& applied);

    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG m_config;
    bool m_haveConfig = false;
};
