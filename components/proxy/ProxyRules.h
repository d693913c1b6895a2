#pragma once
#include <windows.h>

#include <string>

#include "SrwLock.h"

// The proxy that serves one URL; an empty host means a direct connection.
struct ProxyChoice {
    std::wstring host;
    unsigned short port = 0;

    bool Direct() const { return host.empty(); }
    std::wstring Name() const;  // "host:port" as WinHTTP takes it and as the checker shows it; empty when direct
};

// The user's Internet settings, as Windows keeps them.
struct ProxySettings {
    bool autoDetect = false;
    std::wstring scriptUrl;    // the configuration script
    std::wstring manualProxy;  // "host:port", or per scheme: "http=a:80;https=b:8443"
    std::wstring bypass;       // "<local>;*.example.com;10.*"
};

// What detection or the configuration script answered for one URL.
enum class ScriptOutcome { NoAnswer, Direct, Proxy };
struct ScriptAnswer {
    ScriptOutcome outcome = ScriptOutcome::NoAnswer;
    std::wstring proxyList;  // for Proxy: "host:port;host2:port"
};

// The entry of a proxy list that serves the scheme, the first one that parses; false when none does.
bool PickProxy(const std::wstring& list, bool secure, ProxyChoice& choice);

// True when the host is on the bypass list ("<local>": a name without a dot; "*" matches any run).
bool BypassMatches(const std::wstring& bypassList, const std::wstring& host);

// The URL with any "user:password@" taken out of its authority; other URLs unchanged. The
// password may itself hold '@', so the authority's last '@' ends the user information.
std::wstring WithoutUserInfo(const std::wstring& url);

// The order browsers keep: a script's answer (DIRECT included), else the manual proxy unless the
// host is bypassed, else direct.
ProxyChoice ChooseProxy(const ProxySettings& settings, const ScriptAnswer& script, const std::wstring& host,
                        bool secure);

// Decisions already taken in this process, by scheme, host and port: one look-up per host.
class CProxyCache {
public:
    CProxyCache() = default;
    CProxyCache(const CProxyCache&) = delete;
    CProxyCache& operator=(const CProxyCache&) = delete;

    bool Find(const std::wstring& key, ProxyChoice& choice);
    void Store(const std::wstring& key, const ProxyChoice& choice);

private:
    static constexpr int MAX_HOSTS = 8;  // a download meets one or two hosts; more just look up again
    CSrwLock m_lock;
    std::wstring m_keys[MAX_HOSTS];
    ProxyChoice m_choices[MAX_HOSTS];
    int m_count = 0;
};
