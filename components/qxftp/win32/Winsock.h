#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstddef>
#include <cstdint>
#include <string>

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

}  // namespace qxftp
