#pragma once
#include <windows.h>
#include <winhttp.h>

#include <memory>

struct WinHttpHandleCloser {
    void operator()(HINTERNET handle) const {
        if (handle != nullptr) WinHttpCloseHandle(handle);
    }
};
// Session, connection and request handles; a request is closed before its connection
// because it is declared after it.
using WinHttpHandle = std::unique_ptr<void, WinHttpHandleCloser>;
