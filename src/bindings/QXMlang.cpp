#include "bindings/QXMlang.h"

#include <cwchar>

#include "bindings/TransferLibraryModule.h"
#include "config/ModulePath.h"

namespace {
// Texts are fetched into 1024 characters, terminator included.
constexpr int TEXT_CAPACITY = 1024;

// Keeps the system from asking the user about a damaged or unloadable library file: a library
// that cannot be loaded is silently absent.
class QuietLoadErrors {
public:
    QuietLoadErrors() { m_changed = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &m_previous); }
    ~QuietLoadErrors() {
        if (m_changed) SetThreadErrorMode(m_previous, nullptr);
    }
    QuietLoadErrors(const QuietLoadErrors&) = delete;
    QuietLoadErrors& operator=(const QuietLoadErrors&) = delete;

private:
    DWORD m_previous = 0;
    BOOL m_changed = FALSE;
};

// Every backslash-n pair becomes CR LF, scanning left to right without overlaps.
std::wstring ExpandLineBreaks(const std::wstring& text) {
    std::wstring result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
            result += L"\r\n";
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}
}  // namespace

int CQXMlang::MakeModuleFilePath(std::wstring& out, const wchar_t* fileName) {
    return ::MakeModuleFilePath(nullptr, fileName, out);
}

CQXMlang::CQXMlang() {
    // Both file paths are built before anything is loaded: a library that could not be told
    // where its files are counts as absent rather than half-initialised.
    std::wstring iniPath, mlgPath;
    if (!MakeModuleFilePath(iniPath, L"QXMLANG.INI") || !MakeModuleFilePath(mlgPath, L"FENNICKMSG.MLG")) return;

    {
        QuietLoadErrors quiet;
        hLibrary = LoadLibraryBesideExecutable(L"QXMlangW.dll");
    }
    if (!hLibrary) return;

    pfnInitializeTls = FindEntry<PFN_INITIALIZEQXMLAGTLS>(hLibrary, "InitializeQXMlagTls");
    pfnUnInitializeTls = FindEntry<PFN_UNINITIALIZEQXMLAGTLS>(hLibrary, "UnInitializeQXMlagTls");
    pfnSetMLGFile = FindEntry<PFN_SETMLGFILE>(hLibrary, "SetMLGFile");
    pfnGetLanguageStringA = FindEntry<PFN_GETLANGUAGESTRINGA>(hLibrary, "GetLanguageStringA");
    pfnGetLanguageStringW = FindEntry<PFN_GETLANGUAGESTRINGW>(hLibrary, "GetLanguageStringW");
    pfnSetActiveLanguage = FindEntry<PFN_SETACTIVELANGUAGE>(hLibrary, "SetActiveLanguage");
    pfnSetIniFile = FindEntry<PFN_SETINITQXMLAGINIFILEW>(hLibrary, "SetInitQXMlagIniFileW");

    if (!IsReady()) {
        MessageBoxW(nullptr, L"UQXMlang:load qxmlangW.dll error!", L"error", MB_OK);
        return;
    }

    hContext = pfnInitializeTls();
    // The library's answers here are not examined; the order (settings, language, messages) is fixed.
    pfnSetIniFile(hContext, iniPath.c_str());
    pfnSetActiveLanguage(hContext, static_cast<int>(static_cast<unsigned int>(GetSystemDefaultLangID())));
    pfnSetMLGFile(hContext, mlgPath.c_str());
}

CQXMlang::~CQXMlang() {
    if (IsReady()) pfnUnInitializeTls(hContext);
    hLibrary.Reset();
}

bool CQXMlang::IsReady() const {
    return hLibrary && pfnInitializeTls && pfnUnInitializeTls && pfnGetLanguageStringW && pfnGetLanguageStringA &&
           pfnSetMLGFile && pfnSetActiveLanguage && pfnSetIniFile;
}

std::wstring CQXMlang::GetString(int nNumber) {
    if (!IsReady()) return std::wstring();
    wchar_t buffer[TEXT_CAPACITY] = {};
    if (pfnGetLanguageStringW(hContext, nNumber, buffer, TEXT_CAPACITY) != 1) return std::wstring();
    // A library that claims delivery without a terminator within the buffer delivered nothing usable.
    const size_t length = wcsnlen(buffer, TEXT_CAPACITY);
    if (length == static_cast<size_t>(TEXT_CAPACITY)) return std::wstring();
    return ExpandLineBreaks(std::wstring(buffer, length));
}
