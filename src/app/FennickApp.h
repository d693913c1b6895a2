#pragma once
#include <string>

#include "framework/WinApp.h"

// The application object: guards against a second instance for the same package and runs the
// progress dialog.
class CFennickApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

// Name of the single-instance mutex: the package's base name unchanged, or a fixed name when
// the URL has none (an empty name would give an unnamed mutex and no guard at all).
std::wstring InstanceMutexName(const std::wstring& baseName);
