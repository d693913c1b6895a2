#include <gtest/gtest.h>

#include "ProxyLookup.h"

namespace {

// Stands in for WinHTTP: the user has detection on and a manual proxy, and detection answers
// "detected:8080" after `detectionDelayMs`, or when the test lets it go.
DWORD detectionDelayMs = 0;
HANDLE letDetectionGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);

LPWSTR GlobalText(const wchar_t* text) {
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    return static_cast<LPWSTR>(memcpy(GlobalAlloc(GMEM_FIXED, bytes), text, bytes));
}
BOOL WINAPI FakeUserConfig(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config) {
    config->fAutoDetect = TRUE;
    config->lpszProxy = GlobalText(L"manual:3128");
    return TRUE;
}
BOOL WINAPI FakeDetection(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO* info) {
    WaitForSingleObject(letDetectionGo, detectionDelayMs);
    info->dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    info->lpszProxy = GlobalText(L"detected:8080");
    return TRUE;
}
HINTERNET WINAPI FakeOpen(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD) { return reinterpret_cast<HINTERNET>(1); }
BOOL WINAPI FakeClose(HINTERNET) { return TRUE; }
BOOL WINAPI FakeTimeouts(HINTERNET, int, int, int, int) { return TRUE; }

}  // namespace

// Detection that never answers must not hold the download past its budget: the manual proxy
// serves, and the host is not asked about again in the run.
TEST(LookUpProxy, DetectionGetsTheCallersTimeAtMost) {
    ProxyEntries entries;
    entries.GetIEProxyConfigForCurrentUser = FakeUserConfig;
    entries.GetProxyForUrl = FakeDetection;
    entries.Open = FakeOpen;
    entries.CloseHandle = FakeClose;
    entries.SetTimeouts = FakeTimeouts;
    const struct {
        DWORD delayMs;
        const wchar_t *host, *expected;
    } cases[] = {{0, L"quick.example", L"detected:8080"},
                 {5000, L"stuck.example", L"manual:3128"},
                 {0, L"stuck.example", L"manual:3128"}};  // kept from the look-up before
    for (const auto& c : cases) {
        detectionDelayMs = c.delayMs;
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(LookUpProxy(entries, L"https://x/setup.exe", c.host, 443, true, 500).Name(), c.expected) << c.host;
        EXPECT_LT(GetTickCount64() - start, 3000u) << c.host;
    }
    SetEvent(letDetectionGo);
}
