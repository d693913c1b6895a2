#pragma once
// The owners of a Winsock socket and of a Winsock reference, in the set of Handles.h (apart
// because winsock2.h must come before windows.h).
#include <winsock2.h>

#include "Handles.h"

struct SocketTraits {
    using Type = SOCKET;
    static Type Invalid() { return INVALID_SOCKET; }
    static bool IsValid(Type value) { return value != INVALID_SOCKET; }
    static void Close(Type value) { closesocket(value); }
};
using UniqueSocket = UniqueResource<SocketTraits>;

// One reference to Winsock (WSAStartup ... WSACleanup) for as long as the object lives; the
// references are counted, so nesting is fine.
class WinsockSession {
public:
    WinsockSession() {
        WSADATA data;
        m_ready = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (m_ready) WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool Ready() const { return m_ready; }

private:
    bool m_ready = false;
};
