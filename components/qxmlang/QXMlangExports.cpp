// The seven entries of QXMlangW.dll, declared with their types in QXMlangW.h. Plain export names
// on both architectures come from QXMlangW.def.
#include "QXMlangW.h"

#include <windows.h>

#include <string>

#include "ContextTable.h"
#include "TextDelivery.h"

extern "C" {

int WINAPI InitializeQXMlagTls(void) { return Contexts().Create(); }

int WINAPI UnInitializeQXMlagTls(int hContext) { return Contexts().Destroy(hContext); }

int WINAPI SetInitQXMlagIniFileW(int hContext, const wchar_t* iniPath) {
    return Contexts().SetSettingsFile(hContext, iniPath);
}

int WINAPI SetActiveLanguage(int hContext, int langId) { return Contexts().SetActiveLanguage(hContext, langId); }

int WINAPI SetMLGFile(int hContext, const wchar_t* mlgPath) { return Contexts().SetMessageFile(hContext, mlgPath); }

int WINAPI GetLanguageStringW(int hContext, int number, wchar_t* buffer, int capacity) {
    if (!buffer || capacity < 1) return BAD_ARGUMENTS;
    buffer[0] = L'\0';
    std::wstring text;
    const int found = Contexts().FindText(hContext, number, text);
    return found == DELIVERED ? DeliverWide(text, buffer, capacity) : found;
}

int WINAPI GetLanguageStringA(int hContext, int number, char* buffer, int capacity) {
    if (!buffer || capacity < 1) return BAD_ARGUMENTS;
    buffer[0] = '\0';
    std::wstring text;
    const int found = Contexts().FindText(hContext, number, text);
    return found == DELIVERED ? DeliverAnsi(text, buffer, capacity) : found;
}

}  // extern "C"
