#include "framework/WinApp.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp() { g_pApp = this; }

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* CWinApp::GetApp() { return g_pApp; }

int CWinApp::Run() {
    MSG msg;
    for (;;) {
        const BOOL result = GetMessageW(&msg, nullptr, 0, 0);
        if (result == 0) return static_cast<int>(msg.wParam);
        if (result == -1) return -1;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int WinAppMain() {
    CWinApp* app = CWinApp::GetApp();
    if (app == nullptr) return -1;
    if (!app->InitInstance()) return 0;
    return app->Run();
}
