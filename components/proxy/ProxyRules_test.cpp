#include <gtest/gtest.h>

#include "ProxyRules.h"

// Which proxy serves which URL, below the WinHTTP call (plain http through a proxy cannot be
// shown under Wine, which sends origin-form requests to it).
TEST(ChooseProxy, KeepsTheBrowsersOrderAndTheSchemesEntry) {
    const ProxySettings manual{false, L"", L"http=web:3128;https=[::1]:8443;ftp=f:21", L"<local>; *.intra.example ,10.*"};
    const ScriptAnswer none;
    const ScriptAnswer direct{ScriptOutcome::Direct, L""};
    const ScriptAnswer proxied{ScriptOutcome::Proxy, L"http://pac-proxy:8080; other:1"};
    const struct {
        ProxySettings settings;
        ScriptAnswer script;
        const wchar_t* host;
        bool secure;
        const wchar_t* expected;
    } cases[] = {
        {manual, none, L"dl.example.com", false, L"web:3128"},
        {manual, none, L"dl.example.com", true, L"[::1]:8443"},
        {manual, none, L"server", true, L""},                 // <local>: no dot in the name
        {manual, none, L"A.INTRA.example", true, L""},        // patterns ignore case
        {manual, none, L"10.1.2.3", false, L""},
        {manual, none, L"110.1.2.3", false, L"web:3128"},
        {manual, direct, L"dl.example.com", true, L""},       // a script's DIRECT beats the manual proxy
        {manual, proxied, L"server", true, L"pac-proxy:8080"},  // and its proxy the bypass list
        {{false, L"", L"proxy", L""}, none, L"h.example", true, L"proxy:80"},
        {{false, L"", L"ftp=f:21", L""}, none, L"h.example", true, L""},
        {{false, L"", L"socks://s:1080 bad:0 bad:x good:81", L""}, none, L"h.example", false, L"good:81"},
        {{false, L"", L"", L""}, {ScriptOutcome::Proxy, L"https://tls-proxy:443"}, L"h.example", true, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseProxy(c.settings, c.script, c.host, c.secure).Name(), c.expected)
            << c.settings.manualProxy << " / " << c.script.proxyList << " for " << c.host;
}

TEST(WithoutUserInfo, TakesOnlyTheAuthoritysUserInformation) {
    const struct {
        const wchar_t* url;
        const wchar_t* expected;
    } cases[] = {
        {L"http://user:pw@h:81/a@b?c@d", L"http://h:81/a@b?c@d"},
        {L"https://u:p@ss@h", L"https://h"},
        {L"http://h?x@y", L"http://h?x@y"},
        {L"http://h#@f", L"http://h#@f"},
        {L"not a url@h", L"not a url@h"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithoutUserInfo(c.url), c.expected) << c.url;
}
