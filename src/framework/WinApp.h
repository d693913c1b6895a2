#pragma once
#include <windows.h>

class CWnd;

// Application base: one global object per program. WinAppMain calls InitInstance; when it
// returns TRUE the message loop runs until WM_QUIT, otherwise the program ends at once.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return FALSE; }
    virtual int Run();                       // message loop; returns the WM_QUIT code

    static CWinApp* GetApp();

    // The main window; when it is destroyed the framework posts the quit request.
    CWnd* m_pMainWnd = nullptr;
};

// The program's entry, called from wWinMain.
int WinAppMain();
