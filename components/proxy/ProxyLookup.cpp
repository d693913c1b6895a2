#include "ProxyLookup.h"

#include "Handles.h"
#include "WideDecimal.h"

#include <memory>

namespace {

// Owns the strings WinHTTP hands out with GlobalAlloc.
class CGlobalText {
public:
    CGlobalText() = default;
    ~CGlobalText() {
        if (m_text != nullptr) GlobalFree(m_text);
    }
    CGlobalText(const CGlobalText&) = delete;
    CGlobalText& operator=(const CGlobalText&) = delete;
    LPWSTR* Out() { return &m_text; }
    std::wstring Text() const { return m_text != nullptr ? std::wstring(m_text) : std::wstring(); }

private:
    LPWSTR m_text = nullptr;
};

bool ReadSettings(const ProxyEntries& entries, ProxySettings& settings) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config;
    ZeroMemory(&config, sizeof(config));
    if (!entries.GetIEProxyConfigForCurrentUser(&config)) return false;
    CGlobalText script, proxy, bypass;
    *script.Out() = config.lpszAutoConfigUrl;
    *proxy.Out() = config.lpszProxy;
    *bypass.Out() = config.lpszProxyBypass;
    settings.autoDetect = config.fAutoDetect != FALSE;
    settings.scriptUrl = script.Text();
    settings.manualProxy = proxy.Text();
    settings.bypass = bypass.Text();
    return true;
}

ScriptAnswer AskScript(const ProxyEntries& entries, const ProxySettings& settings, const std::wstring& url,
                       DWORD timeoutMs) {
    ScriptAnswer answer;
    WINHTTP_AUTOPROXY_OPTIONS options;
    ZeroMemory(&options, sizeof(options));
    if (settings.autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!settings.scriptUrl.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = settings.scriptUrl.c_str();
    }
    if (options.dwFlags == 0) return answer;
    // A session of its own, direct: the script is fetched the way the browser fetches it.
    const UniqueWinHttp session(entries.Open(L"QXProxy/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                             WINHTTP_NO_PROXY_BYPASS, 0),
                                entries.CloseHandle);
    if (!session) return answer;
    const int timeout = static_cast<int>(timeoutMs);
    entries.SetTimeouts(session.Get(), timeout, timeout, timeout, timeout);
    const std::wstring scriptUrl = WithoutUserInfo(url);
    WINHTTP_PROXY_INFO info;
    ZeroMemory(&info, sizeof(info));
    // Our logon goes to the script's server only when it asks for one, as WinHTTP recommends.
    options.fAutoLogonIfChallenged = FALSE;
    BOOL found = entries.GetProxyForUrl(session.Get(), scriptUrl.c_str(), &options, &info);
    if (!found && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE) {
        options.fAutoLogonIfChallenged = TRUE;
        found = entries.GetProxyForUrl(session.Get(), scriptUrl.c_str(), &options, &info);
    }
    if (!found) return answer;  // no script or no detection result: the manual settings decide
    CGlobalText proxy, bypass;
    *proxy.Out() = info.lpszProxy;
    *bypass.Out() = info.lpszProxyBypass;
    answer.proxyList = proxy.Text();
    const bool named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && !answer.proxyList.empty();
    answer.outcome = named ? ScriptOutcome::Proxy : ScriptOutcome::Direct;
    return answer;
}

// What one look-up thread works on. Its caller may stop waiting and leave, so the thread owns its
// copies, and references to the module of its own code and to the one of the WinHTTP entries.
struct ScriptJob {
    ProxyEntries entries;
    ProxySettings settings;
    std::wstring url;
    DWORD timeoutMs = 0;
    std::shared_ptr<ScriptAnswer> answer;
    UniqueModule self;
    UniqueModule library;
};

UniqueModule HoldModuleOf(const void* address) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCWSTR>(address), &module);
    return UniqueModule(module);
}

DWORD WINAPI ScriptThread(void* param) {
    HMODULE self = nullptr;
    {
        const std::unique_ptr<ScriptJob> job(static_cast<ScriptJob*>(param));
        *job->answer = AskScript(job->entries, job->settings, job->url, job->timeoutMs);
        self = job->self.Release();
    }  // every object of the job, and the library's reference, is gone before this code may go
    FreeLibraryAndExitThread(self, 0);
}

// Automatic detection and script fetches are bounded by WinHTTP's per-step timeouts only, and
// detection (DHCP, DNS) not even by those. The caller waits at most `timeoutMs` in all; after
// that the manual settings decide and the thread finishes on its own.
ScriptAnswer AskScriptWithin(const ProxyEntries& entries, const ProxySettings& settings, const std::wstring& url,
                             DWORD timeoutMs) {
    if (!settings.autoDetect && settings.scriptUrl.empty()) return ScriptAnswer();
    const auto answer = std::make_shared<ScriptAnswer>();
    auto job = std::make_unique<ScriptJob>(ScriptJob{entries, settings, url, timeoutMs, answer,
                                                     HoldModuleOf(reinterpret_cast<const void*>(&ScriptThread)),
                                                     HoldModuleOf(reinterpret_cast<const void*>(entries.GetProxyForUrl))});
    if (!job->self) return ScriptAnswer();
    const UniqueHandle thread(CreateThread(nullptr, 0, ScriptThread, job.get(), 0, nullptr));
    if (!thread) return ScriptAnswer();
    job.release();  // the thread owns it, and the module references in it
    if (WaitForSingleObject(thread.Get(), timeoutMs) != WAIT_OBJECT_0) return ScriptAnswer();
    return *answer;
}

CProxyCache& ProcessCache() {
    static CProxyCache cache;
    return cache;
}

}  // namespace

ProxyChoice LookUpProxy(const ProxyEntries& entries, const std::wstring& url, const std::wstring& host,
                        INTERNET_PORT port, bool secure, DWORD timeoutMs) {
    const std::wstring key = (secure ? L"https://" : L"http://") + host + L":" + WideDecimal(port);
    ProxyChoice choice;
    if (ProcessCache().Find(key, choice)) return choice;
    ProxySettings settings;
    if (!ReadSettings(entries, settings)) return choice;  // no settings at all: direct, and asked again next time
    choice = ChooseProxy(settings, AskScriptWithin(entries, settings, url, timeoutMs), host, secure);
    ProcessCache().Store(key, choice);
    return choice;
}

bool PrepareProxyLogon(const ProxyEntries& entries, HINTERNET request) {
    DWORD supported = 0, first = 0, target = 0;
    if (!entries.QueryAuthSchemes(request, &supported, &first, &target) || target != WINHTTP_AUTH_TARGET_PROXY)
        return false;
    const DWORD scheme = (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE) ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                         : (supported & WINHTTP_AUTH_SCHEME_NTLM)    ? WINHTTP_AUTH_SCHEME_NTLM
                                                                     : 0;
    if (scheme == 0) return false;
    // The default policy keeps the logon for intranet servers; the proxy needs it allowed, and
    // the credentials below are set for the proxy only.
    DWORD policy = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
    return entries.SetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &policy, sizeof(policy)) &&
           entries.SetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr, nullptr);
}
