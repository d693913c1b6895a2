#include <gtest/gtest.h>

#include "RedirectRule.h"

TEST(RedirectRule, ResolvesEachReferenceFormAndNeverLeavesTls) {
    const std::wstring base = L"http://h:8080/dir/sub/file.exe?x=1#frag";
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"https://other/p?q#f", L"https://other/p?q"},      {L"//cdn.example/pkg.exe", L"http://cdn.example/pkg.exe"},
        {L"/a/./b/../c.exe", L"http://h:8080/a/c.exe"},       {L"../up.exe?y=2", L"http://h:8080/dir/up.exe?y=2"},
        {L"../../../../top.exe", L"http://h:8080/top.exe"},   {L"?z=3", L"http://h:8080/dir/sub/file.exe?z=3"},
        {L"", L"http://h:8080/dir/sub/file.exe?x=1"},
    };
    for (const auto& c : cases) {
        std::wstring target;
        ASSERT_TRUE(ResolveLocation(base, c.first, target)) << c.first;
        EXPECT_EQ(target, c.second) << c.first;
    }
    EXPECT_TRUE(IsRedirectAllowed(L"http://a/x", L"HTTPS://b/y"));
    EXPECT_FALSE(IsRedirectAllowed(L"HTTPS://a/x", L"Http://a/x"));
    EXPECT_FALSE(IsRedirectAllowed(L"http://a/x", L"ftp://a/x"));
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
