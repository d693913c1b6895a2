#include <gtest/gtest.h>

#include "RedirectRule.h"

TEST(ResolveLocation, FollowsEachReferenceForm) {
    const std::wstring base = L"http://h:8080/dir/sub/file.exe?x=1#frag";
    const struct {
        const wchar_t* location;
        const wchar_t* expected;
    } cases[] = {
        {L"https://other/p?q#f", L"https://other/p?q"},
        {L"//cdn.example/pkg.exe", L"http://cdn.example/pkg.exe"},
        {L"/root.exe", L"http://h:8080/root.exe"},
        {L"/a/./b/../c.exe", L"http://h:8080/a/c.exe"},
        {L"next.exe", L"http://h:8080/dir/sub/next.exe"},
        {L"../up.exe?y=2", L"http://h:8080/dir/up.exe?y=2"},
        {L"../../../../top.exe", L"http://h:8080/top.exe"},
        {L"./", L"http://h:8080/dir/sub/"},
        {L"?z=3", L"http://h:8080/dir/sub/file.exe?z=3"},
        {L"", L"http://h:8080/dir/sub/file.exe?x=1"},
    };
    for (const auto& c : cases) {
        std::wstring target;
        ASSERT_TRUE(ResolveLocation(base, c.location, target)) << c.location;
        EXPECT_EQ(target, c.expected) << c.location;
    }
    std::wstring target;
    EXPECT_TRUE(ResolveLocation(L"https://h", L"a.exe", target));
    EXPECT_EQ(target, L"https://h/a.exe");
    EXPECT_FALSE(ResolveLocation(L"not a url", L"/a", target));
}

TEST(IsRedirectAllowed, NeverLeavesTlsAndOnlyGoesToHttp) {
    EXPECT_TRUE(IsRedirectAllowed(L"http://a/x", L"http://b/y"));
    EXPECT_TRUE(IsRedirectAllowed(L"http://a/x", L"HTTPS://b/y"));
    EXPECT_TRUE(IsRedirectAllowed(L"https://a/x", L"https://b/y"));
    EXPECT_FALSE(IsRedirectAllowed(L"https://a/x", L"http://a/x"));
    EXPECT_FALSE(IsRedirectAllowed(L"HTTPS://a/x", L"Http://a/x"));
    EXPECT_FALSE(IsRedirectAllowed(L"http://a/x", L"ftp://a/x"));
    EXPECT_FALSE(IsRedirectAllowed(L"http://a/x", L"file:///c:/x"));
    EXPECT_EQ(UrlScheme(L"HtTpS://a"), L"https");
    EXPECT_EQ(UrlScheme(L"/relative"), L"");
}

TEST(WithoutUserInfo, TakesOnlyTheAuthoritysUserInformation) {
    const struct {
        const wchar_t* url;
        const wchar_t* expected;
    } cases[] = {
        {L"http://user:pw@h:81/a@b?c@d", L"http://h:81/a@b?c@d"},
        {L"https://u:p@ss@h", L"https://h"},
        {L"http://h/p@q", L"http://h/p@q"},
        {L"http://h?x@y", L"http://h?x@y"},
        {L"http://h#@f", L"http://h#@f"},
        {L"not a url@h", L"not a url@h"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithoutUserInfo(c.url), c.expected) << c.url;
}
