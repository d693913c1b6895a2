// A stand-in QXMlangW.dll for the binding's tests. It records every call it receives and
// answers text requests from a fixed script. Each FAKE_OMIT_<entry> definition builds a variant
// that lacks that entry.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {
// What InitializeQXMlagTls hands out: any value the binding must pass back unchanged.
constexpr int kFakeContext = 0x5EED;
std::wstring g_log;

void Record(const std::wstring& entry) { g_log += entry + L"\n"; }

[[maybe_unused]] int Fill(wchar_t* buffer, int capacity, const std::wstring& text, int result) {
    if (!buffer || capacity <= 0 || text.size() >= static_cast<size_t>(capacity)) return 0;
    wmemcpy(buffer, text.c_str(), text.size() + 1);
    return result;
}
}  // namespace

extern "C" {

// The calls so far, one line each, for the test that holds this module loaded.
__declspec(dllexport) const wchar_t* FakeCallLog(void) { return g_log.c_str(); }

#ifndef FAKE_OMIT_InitializeQXMlagTls
__declspec(dllexport) int WINAPI InitializeQXMlagTls(void) {
    Record(L"Initialize");
    return kFakeContext;
}
#endif

#ifndef FAKE_OMIT_UnInitializeQXMlagTls
__declspec(dllexport) int WINAPI UnInitializeQXMlagTls(int hContext) {
    Record(L"UnInitialize " + std::to_wstring(hContext));
    return 1;
}
#endif

#ifndef FAKE_OMIT_SetInitQXMlagIniFileW
__declspec(dllexport) int WINAPI SetInitQXMlagIniFileW(int hContext, const wchar_t* iniPath) {
    Record(L"SetIniFile " + std::to_wstring(hContext) + L" " + iniPath);
    return 0;  // a failure the binding must not act on
}
#endif

#ifndef FAKE_OMIT_SetActiveLanguage
__declspec(dllexport) int WINAPI SetActiveLanguage(int hContext, int langId) {
    Record(L"SetActiveLanguage " + std::to_wstring(hContext) + L" " + std::to_wstring(langId));
    return 0;
}
#endif

#ifndef FAKE_OMIT_SetMLGFile
__declspec(dllexport) int WINAPI SetMLGFile(int hContext, const wchar_t* mlgPath) {
    Record(L"SetMLGFile " + std::to_wstring(hContext) + L" " + mlgPath);
    return 0;
}
#endif

#ifndef FAKE_OMIT_GetLanguageStringW
// 1: a plain text; 2: backslash sequences; 3 and 4: a filled buffer with results 0 and 2;
// 5: "delivered" without a terminator in the buffer; 6: the longest text that fits.
__declspec(dllexport) int WINAPI GetLanguageStringW(int hContext, int number, wchar_t* buffer, int capacity) {
    Record(L"GetLanguageStringW " + std::to_wstring(hContext) + L" " + std::to_wstring(number) + L" " +
           std::to_wstring(capacity));
    switch (number) {
        case 1: return Fill(buffer, capacity, L"Fake caption", 1);
        case 2: return Fill(buffer, capacity, L"a\\nb\\\\nc\\td\\n\\n\\", 1);
        case 3: return Fill(buffer, capacity, L"not delivered", 0);
        case 4: return Fill(buffer, capacity, L"not delivered", 2);
        case 5:
            if (!buffer || capacity <= 0) return 0;
            wmemset(buffer, L'x', static_cast<size_t>(capacity));
            return 1;
        case 6:
            if (capacity <= 0) return 0;
            return Fill(buffer, capacity, std::wstring(static_cast<size_t>(capacity) - 1, L'y'), 1);
        default: return 0;
    }
}
#endif

#ifndef FAKE_OMIT_GetLanguageStringA
__declspec(dllexport) int WINAPI GetLanguageStringA(int hContext, int number, char* buffer, int capacity) {
    Record(L"GetLanguageStringA " + std::to_wstring(hContext) + L" " + std::to_wstring(number));
    if (buffer && capacity > 0) buffer[0] = '\0';
    return 0;
}
#endif

}  // extern "C"
