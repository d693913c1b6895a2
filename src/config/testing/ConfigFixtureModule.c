/* An empty DLL in a folder of its own: the configuration tests hand its module handle to
   CInstallerConfig, so that their Fennick.ini lies beside it and no other test program's. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
