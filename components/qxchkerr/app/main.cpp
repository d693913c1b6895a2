// QXChkErr.exe: started by Fennick.exe, without arguments, after a failed download. It finds out
// why the download failed, tells the user in a sentence, and lets them start the installer again.
#include <windows.h>
#include <commctrl.h>

#include "app/CheckerWindow.h"
#include "bindings/QXMlang.h"
#include "checks/InstallerRestart.h"
#include "config/DownloadFolder.h"
#include "config/IniFile.h"
#include "config/InstallerConfig.h"
#include "config/ModulePath.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    // Before anything can load a library: from now on only the system folder is searched, never
    // this program's folder or the working folder, where anyone may have left a same-named DLL.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    // The same file and rules as the installer; an unreadable file is the first finding.
    CheckerInputs inputs;
    std::wstring configPath;
    if (MakeModuleFilePath(nullptr, L"Fennick.ini", configPath)) {
        inputs.strConfigValue = ReadIniString(configPath, L"Main", L"DownloadString");
        inputs.strPinValue = ReadIniString(configPath, L"Main", L"Sha256");
    } else {
        inputs.strConfigValue = inputs.strPinValue = L"ERR";
    }
    inputs.strDownloadFolder = QueryDocumentsDownloadFolder(nullptr);

    // Loaded only for the package's base name, which names the installer's mutex.
    CInstallerConfig config(nullptr);
    config.Load();

    CQXMlang language;
    const CCheckerTexts texts([&language](int number) { return language.GetString(number); });
    CCheckerWindow window(texts, inputs, InstallerMutexName(config.m_strBaseName), ModuleDirectory(nullptr));
    window.Run(hInstance);
    return 0;
}
