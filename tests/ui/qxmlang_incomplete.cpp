// A QXMlangW.dll stand-in that lacks GetLanguageStringA (which Fennick never calls but requires):
// the installer must show its load error box and then run with empty texts, never calling in.
#include <windows.h>

#include <cwchar>

extern "C" {

int WINAPI InitializeQXMlagTls(void) { return 1; }
int WINAPI UnInitializeQXMlagTls(int) { return 1; }
int WINAPI SetInitQXMlagIniFileW(int, const wchar_t*) { return 1; }
int WINAPI SetActiveLanguage(int, int) { return 1; }
int WINAPI SetMLGFile(int, const wchar_t*) { return 1; }

// Would show up as a caption if the incomplete library were used after all.
int WINAPI GetLanguageStringW(int, int, wchar_t* buffer, int capacity) {
    const wchar_t text[] = L"incomplete library was called";
    if (buffer == nullptr || capacity <= static_cast<int>(wcslen(text))) return 0;
    wcscpy(buffer, text);
    return 1;
}

}
