#include "app/FennickApp.h"

#include <commctrl.h>

#include <memory>

#include "config/InstallerConfig.h"
#include "Handles.h"
#include "ui/FennickDlg.h"

CFennickApp theApp;

std::wstring InstanceMutexName(const std::wstring& baseName) {
    return baseName.empty() ? std::wstring(L"Fennick_NoPackageName") : baseName;
}

BOOL CFennickApp::InitInstance() {
    // Read only for the mutex name; the dialog keeps a configuration of its own.
    CInstallerConfig config(nullptr);
    if (config.Load() != 1) return FALSE;

    SetLastError(ERROR_SUCCESS);
    UniqueHandle instanceMutex(CreateMutexW(nullptr, FALSE, InstanceMutexName(config.m_strBaseName).c_str()));
    const DWORD error = GetLastError();
    // Another instance works on this package (or holds the name under another user). Any
    // other failure lets the program run without the guard.
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) return FALSE;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    // Built only after the guard passed, so a refused instance loads none of the libraries.
    auto dialog = std::make_unique<CFennickDlg>(nullptr);
    m_pMainWnd = dialog.get();
    dialog->DoModal();
    m_pMainWnd = nullptr;
    instanceMutex.Reset();
    dialog.reset();
    return TRUE;
}
