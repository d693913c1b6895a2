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
