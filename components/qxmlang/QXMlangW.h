#pragma once
// The seven entries of QXMlangW.dll (FORMATS.md). Each entry's type is declared here once: the
// library's definitions and the installer's look-ups both use it, so they agree on i686.
#include <windows.h>

extern "C" {
typedef int WINAPI INITIALIZEQXMLAGTLS_ENTRY(void);
typedef int WINAPI UNINITIALIZEQXMLAGTLS_ENTRY(int hContext);
typedef int WINAPI SETINITQXMLAGINIFILEW_ENTRY(int hContext, const wchar_t* iniPath);
typedef int WINAPI SETACTIVELANGUAGE_ENTRY(int hContext, int langId);
typedef int WINAPI SETMLGFILE_ENTRY(int hContext, const wchar_t* mlgPath);
typedef int WINAPI GETLANGUAGESTRINGW_ENTRY(int hContext, int number, wchar_t* buffer, int capacity);
typedef int WINAPI GETLANGUAGESTRINGA_ENTRY(int hContext, int number, char* buffer, int capacity);

INITIALIZEQXMLAGTLS_ENTRY InitializeQXMlagTls;
UNINITIALIZEQXMLAGTLS_ENTRY UnInitializeQXMlagTls;
SETINITQXMLAGINIFILEW_ENTRY SetInitQXMlagIniFileW;
SETACTIVELANGUAGE_ENTRY SetActiveLanguage;
SETMLGFILE_ENTRY SetMLGFile;
GETLANGUAGESTRINGW_ENTRY GetLanguageStringW;
GETLANGUAGESTRINGA_ENTRY GetLanguageStringA;
}

#include "WinApiEntry.h"
QX_ASSERT_ENTRY(INITIALIZEQXMLAGTLS_ENTRY, InitializeQXMlagTls);
QX_ASSERT_ENTRY(UNINITIALIZEQXMLAGTLS_ENTRY, UnInitializeQXMlagTls);
QX_ASSERT_ENTRY(SETINITQXMLAGINIFILEW_ENTRY, SetInitQXMlagIniFileW);
QX_ASSERT_ENTRY(SETACTIVELANGUAGE_ENTRY, SetActiveLanguage);
QX_ASSERT_ENTRY(SETMLGFILE_ENTRY, SetMLGFile);
QX_ASSERT_ENTRY(GETLANGUAGESTRINGW_ENTRY, GetLanguageStringW);
QX_ASSERT_ENTRY(GETLANGUAGESTRINGA_ENTRY, GetLanguageStringA);
