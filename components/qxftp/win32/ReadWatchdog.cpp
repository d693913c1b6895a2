#include "win32/ReadWatchdog.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "win32/Winsock.h"

namespace qxftp {

// Shared with the thread: a reader that is ended from outside (the installer does that to a
// stalled worker) never destroys its watchdog, and the thread must not reach freed memory.
struct ReadWatchdog::State {
    SOCKET socket = INVALID_SOCKET;
    DWORD timeoutMs = 0;
    std::atomic<ULONGLONG> readStartMs{0};
    std::atomic<bool> expired{false};
    UniqueHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

namespace {

// A cancel reaches only a read in progress, so it is repeated; a reader that was ended from
// outside never stops the thread, which gives up after these.
constexpr int MAX_CANCELS = 40;

struct ThreadStart {
    std::shared_ptr<ReadWatchdog::State> state;
    HMODULE self = nullptr;  // held until the thread ends: the library may be unloaded before
};

void Watch(ReadWatchdog::State& state) {
    const DWORD interval = std::min<DWORD>(250, std::max<DWORD>(state.timeoutMs / 4, 10));
    int cancels = 0;
    while (WaitForSingleObject(state.stop.Get(), interval) == WAIT_TIMEOUT) {
        if (!state.expired && GetTickCount64() - state.readStartMs < state.timeoutMs) continue;
        state.expired = true;
        CancelIoEx(reinterpret_cast<HANDLE>(state.socket), nullptr);
        if (++cancels >= MAX_CANCELS) return;
    }
}

DWORD WINAPI WatchThread(void* parameter) {
    HMODULE self = nullptr;
    {
        const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        self = start->self;
        Watch(*start->state);
    }
    FreeLibraryAndExitThread(self, 0);
}

}  // namespace

ReadWatchdog::ReadWatchdog(SOCKET socket, DWORD timeoutMs) : m_state(std::make_shared<State>()) {
    m_state->socket = socket;
    m_state->timeoutMs = timeoutMs;
    m_state->readStartMs = GetTickCount64();
    HMODULE self = nullptr;
    if (!m_state->stop.IsValid() ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WatchThread), &self)) {
        return;
    }
    auto start = std::make_unique<ThreadStart>(ThreadStart{m_state, self});
    m_thread.Reset(CreateThread(nullptr, 0, WatchThread, start.get(), 0, nullptr));
    if (m_thread.IsValid()) {
        start.release();  // the thread owns it, and the module reference in it
    } else {
        FreeLibrary(self);
    }
}

ReadWatchdog::~ReadWatchdog() {
    if (!m_thread.IsValid()) return;
    SetEvent(m_state->stop.Get());
    WaitForSingleObject(m_thread.Get(), INFINITE);
}

int ReadWatchdog::Receive(char* buffer, size_t capacity, Failure& failure, const char* what) {
    // Only the wait inside the read counts, as with a receive time-out: not the writes between.
    m_state->readStartMs = GetTickCount64();
    const int got = m_state->expired ? -1 : ReceiveSome(m_state->socket, buffer, capacity, failure, what);
    if (got < 0 && m_state->expired) {
        Fail(failure, QXFTP_E_TIMEOUT, std::string(what) + " (error " + std::to_string(WSAETIMEDOUT) + ")");
    }
    return got;
}

}  // namespace qxftp
