#pragma once
#include <windows.h>

#include <string>

#include "QXMlangW.h"
#include "SystemLibrary.h"

// The entries of QXMlangW.dll, typed by the library's own header.
typedef INITIALIZEQXMLAGTLS_ENTRY* PFN_INITIALIZEQXMLAGTLS;
typedef UNINITIALIZEQXMLAGTLS_ENTRY* PFN_UNINITIALIZEQXMLAGTLS;
typedef SETINITQXMLAGINIFILEW_ENTRY* PFN_SETINITQXMLAGINIFILEW;
typedef SETACTIVELANGUAGE_ENTRY* PFN_SETACTIVELANGUAGE;
typedef SETMLGFILE_ENTRY* PFN_SETMLGFILE;
typedef GETLANGUAGESTRINGW_ENTRY* PFN_GETLANGUAGESTRINGW;
typedef GETLANGUAGESTRINGA_ENTRY* PFN_GETLANGUAGESTRINGA;

// Texts of the progress window by number, from QXMlangW.dll beside the executable:
// 1 caption (window and message boxes), 2 label, 3 close question, 4 final error message.
//
// After construction the binding is in one of three states:
//   absent     - the library (or one of the paths it needs) could not be had: texts are empty;
//   incomplete - loaded but one of the seven entries is missing: a message box said so once,
//                texts are empty, and the library is never called (it gave us no context);
//   ready      - initialised with QXMLANG.INI, the system default language and FENNICKMSG.MLG.
class CQXMlang {
public:
    CQXMlang();
    ~CQXMlang();
    CQXMlang(const CQXMlang&) = delete;
    CQXMlang& operator=(const CQXMlang&) = delete;

    // The text with this number, "\n" (backslash, n) turned into CR LF; empty when the library
    // does not deliver it. Fetched anew on every call.
    std::wstring GetString(int nNumber);

private:
    // "<executable directory>\<fileName>", bounded like the binding's 2048-character path
    // buffers; 0 (out untouched) when the path cannot be read whole or would not fit.
    static int MakeModuleFilePath(std::wstring& out, const wchar_t* fileName);

    // All seven entries were found, so InitializeQXMlagTls was called and hContext is real.
    bool IsReady() const;

    UniqueModule hLibrary;
    PFN_INITIALIZEQXMLAGTLS pfnInitializeTls = nullptr;
    PFN_UNINITIALIZEQXMLAGTLS pfnUnInitializeTls = nullptr;
    PFN_GETLANGUAGESTRINGW pfnGetLanguageStringW = nullptr;
    PFN_GETLANGUAGESTRINGA pfnGetLanguageStringA = nullptr;
    PFN_SETMLGFILE pfnSetMLGFile = nullptr;
    PFN_SETACTIVELANGUAGE pfnSetActiveLanguage = nullptr;
    PFN_SETINITQXMLAGINIFILEW pfnSetIniFile = nullptr;
    int hContext = 0;
};
