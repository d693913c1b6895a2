#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>
#include <vector>

#include "SocketHandle.h"
#include "checks/Deadline.h"

// One resolved address of the server, ready for connect().
struct CSocketAddress {
    sockaddr_storage m_storage{};
    int m_nLength = 0;
    std::wstring ToString() const;  // "127.0.0.1:21", "[::1]:21"
};

// How one connection attempt ended.
enum class ConnectOutcome { Connected, Refused, TimedOut, Unreachable };

struct ConnectAttempt {
    ConnectOutcome outcome = ConnectOutcome::Unreachable;
    UniqueSocket socket;  // connected and back in blocking mode when outcome is Connected
    int nError = 0;       // the Winsock error of a failed attempt
};

// Connects to one address, waiting no longer than the deadline.
ConnectAttempt ConnectWithin(const CSocketAddress& address, const CDeadline& deadline);

// Sends all bytes before the deadline; false on any error or when time runs out.
bool SendAllWithin(SOCKET s, const std::string& bytes, const CDeadline& deadline);

enum class ReceiveOutcome { Data, Closed, TimedOut, Failed };
// Waits for data until the deadline, then receives at most `capacity` bytes into `buffer`.
ReceiveOutcome ReceiveWithin(SOCKET s, char* buffer, int capacity, int& received, const CDeadline& deadline);
