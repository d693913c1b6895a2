#pragma once
#include <winsock2.h>
#include <windows.h>

#include <memory>

#include "Handles.h"
#include "win32/Failure.h"

namespace qxftp {

// Bounds the blocking reads of one data connection. Under Wine a read on a socket with a receive
// time-out (SO_RCVTIMEO) costs so much more while the disk holds up the writes that a download ran
// at a third of its speed; so the data connection has none, and this thread cancels a read that
// has waited `timeoutMs`. Must be destroyed before the socket is closed.
class ReadWatchdog {
public:
    ReadWatchdog(SOCKET socket, DWORD timeoutMs);
    ~ReadWatchdog();
    ReadWatchdog(const ReadWatchdog&) = delete;
    ReadWatchdog& operator=(const ReadWatchdog&) = delete;

    // False when no thread could be started: the caller must bound its reads another way.
    bool Watching() const { return m_thread.IsValid(); }

    // One receive, as ReceiveSome; a read cut short by the watchdog fails as a time-out.
    int Receive(char* buffer, size_t capacity, Failure& failure, const char* what);

    struct State;

private:
    std::shared_ptr<State> m_state;
    UniqueHandle m_thread;
};

}  // namespace qxftp
