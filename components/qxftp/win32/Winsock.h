#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "Handles.h"
#include "SocketHandle.h"
#include "win32/Failure.h"

namespace qxftp {

// A socket address of either family.
struct SocketAddress {
    sockaddr_storage storage{};
    int length = 0;
};

// Connects to host:port, trying each address the name resolves to, all within `timeoutMs`
// together. The host may be a name, an IPv4 address or an IPv6 address (with or without [ ]).
bool ConnectToHost(const std::string& host, std::uint16_t port, DWORD timeoutMs, UniqueSocket& out,
                   Failure& failure);

// Connects to one address within `timeoutMs`.
bool ConnectToAddress(const SocketAddress& address, DWORD timeoutMs, UniqueSocket& out, Failure& failure);

// The connected peer's address with another port.
bool PeerAddressWithPort(SOCKET socket, std::uint16_t port, SocketAddress& out);

bool SetSocketTimeouts(SOCKET socket, DWORD receiveMs, DWORD sendMs);

// Sends every byte or fails (time-out or lost connection).
bool SendAll(SOCKET socket, const char* data, size_t size, Failure& failure, const char* what);

// One receive of at most `capacity` bytes: >0 bytes, 0 at the end of the stream, -1 on failure.
// Under Wine a reset arrives as a plain end of stream, so 0 proves nothing by itself.
int ReceiveSome(SOCKET socket, char* buffer, size_t capacity, Failure& failure, const char* what);

// Records a failed receive (a time-out or a lost connection) as ReceiveSome does; gives -1.
int ReceiveFailed(Failure& failure, int error, const char* what);

// A receive that can be waited for in pieces: a wait that ends before data came leaves the
// receive running, so no byte is lost (a receive time-out would leave a Windows socket in an
// undefined state). Until the receive has ended, its buffer belongs to it; the destructor
// cancels a running receive and waits for it to end.
class PendingReceive {
public:
    enum class Outcome { Received, StillWaiting, Failed };

    explicit PendingReceive(SOCKET socket);
    ~PendingReceive();
    PendingReceive(const PendingReceive&) = delete;
    PendingReceive& operator=(const PendingReceive&) = delete;

    // Starts a receive of at most `capacity` bytes into `buffer` unless one is running, then
    // waits up to `waitMs` for it. Received: `received` bytes (0 at the end of the stream).
    // Failed: `error` holds the Winsock error.
    Outcome ReceiveWithin(char* buffer, size_t capacity, DWORD waitMs, int& received, int& error);

private:
    bool Finish(int& received, int& error);

    SOCKET m_socket;
    UniqueHandle m_event;
    OVERLAPPED m_overlapped{};
    bool m_running = false;
};

}  // namespace qxftp
