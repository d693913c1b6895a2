#include <windows.h>

#include "framework/WinApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything can load a library: from now on only the system folder is searched, never
    // this program's folder or the working folder (often Downloads), where anyone may leave a DLL.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return WinAppMain();
}
