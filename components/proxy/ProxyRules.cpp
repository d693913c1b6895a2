#include "ProxyRules.h"

#include <cwctype>
#include <mutex>

#include "WideDecimal.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L';' || c == L',' || c == L' ' || c == L'\t'; }

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Calls `visit` with each non-empty entry of a list separated by ';', ',' or blanks.
template <typename Visit>
bool ForEachEntry(const std::wstring& list, Visit visit) {
    size_t start = 0;
    while (start < list.size()) {
        while (start < list.size() && IsSeparator(list[start])) ++start;
        size_t end = start;
        while (end < list.size() && !IsSeparator(list[end])) ++end;
        if (end > start && visit(list.substr(start, end - start))) return true;
        start = end;
    }
    return false;
}

// "host", "host:port", "[v6]:port", with an optional "http://" before it; port 80 when none.
bool ParseHostPort(std::wstring text, ProxyChoice& choice) {
    const size_t scheme = text.find(L"://");
    if (scheme != std::wstring::npos) {
        if (Lower(text.substr(0, scheme)) != L"http") return false;  // a proxy spoken to over TLS or SOCKS is not WinHTTP's
        text.erase(0, scheme + 3);
    }
    if (!text.empty() && text.back() == L'/') text.pop_back();
    std::wstring host = text;
    std::wstring port;
    if (!text.empty() && text[0] == L'[') {
        const size_t close = text.find(L']');
        if (close == std::wstring::npos) return false;
        host = text.substr(0, close + 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != L':') return false;
            port = text.substr(close + 2);
        }
    } else {
        const size_t colon = text.find(L':');
        if (colon != std::wstring::npos) {
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
        }
    }
    if (host.empty() || host.find_first_of(L"/@?#") != std::wstring::npos) return false;
    unsigned long number = 80;
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
        number = std::wcstoul(port.c_str(), nullptr, 10);
        if (number == 0 || number > 65535) return false;
    }
    choice.host = host;
    choice.port = static_cast<unsigned short>(number);
    return true;
}

// Case-insensitive, "*" standing for any run of characters.
bool GlobMatches(const wchar_t* pattern, const wchar_t* text) {
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*text != 0) {
        if (*pattern == L'*') {
            star = pattern++;
            resume = text;
        } else if (std::towlower(*pattern) == std::towlower(*text)) {
            ++pattern;
            ++text;
        } else if (star != nullptr) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') ++pattern;
    return *pattern == 0;
}

}  // namespace

std::wstring ProxyChoice::Name() const {
    return Direct() ? std::wstring() : host + L":" + WideDecimal(port);
}

std::wstring WithoutUserInfo(const std::wstring& url) {
    const size_t scheme = url.find(L"://");
    if (scheme == std::wstring::npos) return url;
    const size_t hostStart = scheme + 3;
    const size_t hostEnd = url.find_first_of(L"/?#", hostStart);
    const size_t at = url.rfind(L'@', hostEnd == std::wstring::npos ? url.size() : hostEnd);
    if (at == std::wstring::npos || at < hostStart) return url;
    return url.substr(0, hostStart) + url.substr(at + 1);
}

bool PickProxy(const std::wstring& list, bool secure, ProxyChoice& choice) {
    const std::wstring wanted = secure ? L"https" : L"http";
    return ForEachEntry(list, [&](const std::wstring& entry) {
        const size_t equals = entry.find(L'=');
        if (equals != std::wstring::npos && Lower(entry.substr(0, equals)) != wanted) return false;
        return ParseHostPort(equals == std::wstring::npos ? entry : entry.substr(equals + 1), choice);
    });
}

bool BypassMatches(const std::wstring& bypassList, const std::wstring& host) {
    return ForEachEntry(bypassList, [&](const std::wstring& entry) {
        if (Lower(entry) == L"<local>") return host.find(L'.') == std::wstring::npos && host.find(L':') == std::wstring::npos;
        const size_t scheme = entry.find(L"://");
        const std::wstring pattern = scheme == std::wstring::npos ? entry : entry.substr(scheme + 3);
        return GlobMatches(pattern.c_str(), host.c_str());
    });
}

ProxyChoice ChooseProxy(const ProxySettings& settings, const ScriptAnswer& script, const std::wstring& host,
                        bool secure) {
    ProxyChoice choice;
    if (script.outcome == ScriptOutcome::Direct) return choice;
    if (script.outcome == ScriptOutcome::Proxy && PickProxy(script.proxyList, secure, choice)) return choice;
    choice = ProxyChoice();
    if (settings.manualProxy.empty() || BypassMatches(settings.bypass, host)) return choice;
    if (!PickProxy(settings.manualProxy, secure, choice)) choice = ProxyChoice();
    return choice;
}

bool CProxyCache::Find(const std::wstring& key, ProxyChoice& choice) {
    const std::lock_guard<CSrwLock> guard(m_lock);
    for (int i = 0; i < m_count; ++i) {
        if (m_keys[i] == key) {
            choice = m_choices[i];
            return true;
        }
    }
    return false;
}

void CProxyCache::Store(const std::wstring& key, const ProxyChoice& choice) {
    const std::lock_guard<CSrwLock> guard(m_lock);
    if (m_count < MAX_HOSTS) {
        m_keys[m_count] = key;
        m_choices[m_count] = choice;
        ++m_count;
    }
}
