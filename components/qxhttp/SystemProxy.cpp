#include "SystemProxy.h"

#include "RedirectRule.h"

namespace {
void FreeGlobalText(LPWSTR& text) {
    if (text != nullptr) GlobalFree(text);
    text = nullptr;
}
}  // namespace

CSystemProxy::CSystemProxy() {
    ZeroMemory(&m_config, sizeof(m_config));
    m_haveConfig = WinHttpGetIEProxyConfigForCurrentUser(&m_config) != FALSE;
}

CSystemProxy::~CSystemProxy() {
    FreeGlobalText(m_config.lpszAutoConfigUrl);
    FreeGlobalText(m_config.lpszProxy);
    FreeGlobalText(m_config.lpszProxyBypass);
}

bool CSystemProxy::TryAutomatic(HINTERNET session, HINTERNET request, const std::wstring& url, bool& applied) {
    applied = false;
    WINHTTP_AUTOPROXY_OPTIONS options;
    ZeroMemory(&options, sizeof(options));
    if (m_config.fAutoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (m_config.lpszAutoConfigUrl != nullptr && m_config.lpszAutoConfigUrl[0] != L'\0') {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = m_config.lpszAutoConfigUrl;
    }
    if (options.dwFlags == 0) return true;

    // The script sees the URL, so the user's FTP/HTTP password never goes to it.
    const std::wstring scriptUrl = WithoutUserInfo(url);
    WINHTTP_PROXY_INFO info;
    ZeroMemory(&info, sizeof(info));
    // Our logon goes to the script's server only when it asks for one, as WinHTTP recommends.
    options.fAutoLogonIfChallenged = FALSE;
    BOOL found = WinHttpGetProxyForUrl(session, scriptUrl.c_str(), &options, &info);
    if (!found && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
        options.fAutoLogonIfChallenged = TRUE;
        found = WinHttpGetProxyForUrl(session, scriptUrl.c_str(), &options, &info);
    }
    // No script or no detection result: fall back to the manual settings, as browsers do.
    if (!found) return true;
    // A script that answers DIRECT is obeyed too: the manual proxy is only the fallback.
    bool ok = true;
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy != nullptr) {
        ok = WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info)) != FALSE;
    }
    applied = ok;
    FreeGlobalText(info.lpszProxy);
    FreeGlobalText(info.lpszProxyBypass);
    return ok;
}

bool CSystemProxy::ApplyTo(HINTERNET session, HINTERNET request, const std::wstring& url) {
    if (!m_haveConfig) return true;  // no settings at all: direct
    bool applied = false;
    if (!TryAutomatic(session, request, url, applied)) return false;
    if (applied) return true;
    if (m_config.lpszProxy == nullptr || m_config.lpszProxy[0] == L'\0') return true;
    WINHTTP_PROXY_INFO info;
    ZeroMemory(&info, sizeof(info));
    info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    info.lpszProxy = m_config.lpszProxy;
    info.lpszProxyBypass = m_config.lpszProxyBypass;
    return WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info)) != FALSE;
}
