#include "checks/DetachedThread.h"

#include <windows.h>

#include <memory>

namespace {
DWORD WINAPI RunDetached(LPVOID parameter) {
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}
}  // namespace

bool StartDetachedThread(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    HANDLE hThread = CreateThread(nullptr, 0, RunDetached, owned.get(), 0, nullptr);
    if (hThread == nullptr) return false;
    owned.release();  // the thread owns it now
    CloseHandle(hThread);
    return true;
}
