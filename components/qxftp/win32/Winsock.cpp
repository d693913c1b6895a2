#include "win32/Winsock.h"

#include <memory>

namespace qxftp {

namespace {

std::string ErrorNumber(int error) { return " (error " + std::to_string(error) + ")"; }

int FailureCodeFor(int error) {
    return error == WSAETIMEDOUT ? QXFTP_E_TIMEOUT : QXFTP_E_CONNECTION_LOST;
}

bool SetBlocking(SOCKET socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}

// Remaining milliseconds until `deadline` (GetTickCount64 time), 0 when past.
DWORD Remaining(ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Connects with a deadline: a non-blocking connect and a wait for it, then blocking again.
bool ConnectBefore(const sockaddr* address, int length, ULONGLONG deadline, UniqueSocket& out, int& error) {
    UniqueSocket socket(::socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP));
    if (!socket.IsValid()) {
        error = WSAGetLastError();
        return false;
    }
    if (!SetBlocking(socket.Get(), false)) {
        error = WSAGetLastError();
        return false;
    }
    if (connect(socket.Get(), address, length) != 0) {
        error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return false;
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket.Get(), &writable);
        FD_SET(socket.Get(), &failed);
        const DWORD waitMs = Remaining(deadline);
        timeval wait{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000};
        const int ready = select(0, nullptr, &writable, &failed, &wait);
        if (ready == 0) {
            error = WSAETIMEDOUT;
            return false;
        }
        if (ready < 0) {
            error = WSAGetLastError();
            return false;
        }
        int socketError = 0;
        int size = sizeof(socketError);
        if (getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &size) != 0) {
            error = WSAGetLastError();
            return false;
        }
        if (socketError != 0 || !FD_ISSET(socket.Get(), &writable)) {
            error = socketError != 0 ? socketError : WSAECONNREFUSED;
            return false;
        }
    }
    if (!SetBlocking(socket.Get(), true)) {
        error = WSAGetLastError();
        return false;
    }
    out = std::move(socket);
    return true;
}

}  // namespace

bool ConnectToHost(const std::string& host, std::uint16_t port, DWORD timeoutMs, UniqueSocket& out,
                   Failure& failure) {
    std::string name = host;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    if (name.empty()) return Fail(failure, QXFTP_E_INVALID_ARGUMENT, "no host name");

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int resolved = getaddrinfo(name.c_str(), service.c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr) {
        return Fail(failure, QXFTP_E_RESOLVE, "cannot resolve " + name + ErrorNumber(resolved));
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    int error = WSAECONNREFUSED;
    for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
        if (Remaining(deadline) == 0) {
            error = WSAETIMEDOUT;
            break;
        }
        if (ConnectBefore(address->ai_addr, static_cast<int>(address->ai_addrlen), deadline, out, error)) return true;
    }
    const char* why = error == WSAETIMEDOUT ? "connection timed out to " : "cannot connect to ";
    return Fail(failure, QXFTP_E_CONNECT, why + name + ":" + service + ErrorNumber(error));
}

bool ConnectToAddress(const SocketAddress& address, DWORD timeoutMs, UniqueSocket& out, Failure& failure) {
    int error = 0;
    if (ConnectBefore(reinterpret_cast<const sockaddr*>(&address.storage), address.length,
                      GetTickCount64() + timeoutMs, out, error)) {
        return true;
    }
    return Fail(failure, QXFTP_E_CONNECT, "cannot open the data connection" + ErrorNumber(error));
}

bool PeerAddressWithPort(SOCKET socket, std::uint16_t port, SocketAddress& out) {
    SocketAddress peer;
    peer.length = sizeof(peer.storage);
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer.storage), &peer.length) != 0) return false;
    if (peer.storage.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in*>(&peer.storage)->sin_port = htons(port);
    } else if (peer.storage.ss_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&peer.storage)->sin6_port = htons(port);
    } else {
        return false;
    }
    out = peer;
    return true;
}

bool SetSocketTimeouts(SOCKET socket, DWORD receiveMs, DWORD sendMs) {
    const char* receiveValue = reinterpret_cast<const char*>(&receiveMs);
    const char* sendValue = reinterpret_cast<const char*>(&sendMs);
    return setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, receiveValue, sizeof(receiveMs)) == 0 &&
           setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, sendValue, sizeof(sendMs)) == 0;
}

bool SendAll(SOCKET socket, const char* data, size_t size, Failure& failure, const char* what) {
    size_t sent = 0;
    while (sent < size) {
        const size_t piece = size - sent < (1u << 30) ? size - sent : (1u << 30);
        const int result = send(socket, data + sent, static_cast<int>(piece), 0);
        if (result <= 0) {
            const int error = WSAGetLastError();
            return Fail(failure, FailureCodeFor(error), std::string(what) + ErrorNumber(error));
        }
        sent += static_cast<size_t>(result);
    }
    return true;
}

int ReceiveSome(SOCKET socket, char* buffer, size_t capacity, Failure& failure, const char* what) {
    const size_t piece = capacity < (1u << 30) ? capacity : (1u << 30);
    const int result = recv(socket, buffer, static_cast<int>(piece), 0);
    if (result >= 0) return result;
    return ReceiveFailed(failure, WSAGetLastError(), what);
}

int ReceiveFailed(Failure& failure, int error, const char* what) {
    Fail(failure, FailureCodeFor(error), std::string(what) + ErrorNumber(error));
    return -1;
}

PendingReceive::PendingReceive(SOCKET socket)
    : m_socket(socket), m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

PendingReceive::~PendingReceive() {
    if (!m_running) return;
    CancelIoEx(reinterpret_cast<HANDLE>(m_socket), &m_overlapped);
    DWORD bytes = 0;
    DWORD flags = 0;
    WSAGetOverlappedResult(m_socket, &m_overlapped, &bytes, TRUE, &flags);
}

PendingReceive::Outcome PendingReceive::ReceiveWithin(char* buffer, size_t capacity, DWORD waitMs, int& received,
                                                      int& error) {
    received = 0;
    error = 0;
    if (!m_event.IsValid()) {
        error = WSA_NOT_ENOUGH_MEMORY;
        return Outcome::Failed;
    }
    if (!m_running) {
        WSABUF piece{static_cast<ULONG>(capacity < (1u << 30) ? capacity : (1u << 30)), buffer};
        DWORD flags = 0;
        m_overlapped = OVERLAPPED{};
        m_overlapped.hEvent = m_event.Get();
        if (!ResetEvent(m_event.Get())) {
            error = static_cast<int>(GetLastError());
            return Outcome::Failed;
        }
        m_running = true;
        // Data on hand completes the receive at once: no wait then.
        if (WSARecv(m_socket, &piece, 1, nullptr, &flags, &m_overlapped, nullptr) == 0) {
            return Finish(received, error) ? Outcome::Received : Outcome::Failed;
        }
        error = WSAGetLastError();
        if (error != WSA_IO_PENDING) {
            m_running = false;
            return Outcome::Failed;
        }
        error = 0;
    }
    const DWORD waited = WaitForSingleObject(m_event.Get(), waitMs);
    if (waited == WAIT_TIMEOUT) return Outcome::StillWaiting;
    if (waited != WAIT_OBJECT_0) {
        error = static_cast<int>(GetLastError());
        return Outcome::Failed;
    }
    return Finish(received, error) ? Outcome::Received : Outcome::Failed;
}

bool PendingReceive::Finish(int& received, int& error) {
    DWORD bytes = 0;
    DWORD flags = 0;
    if (!WSAGetOverlappedResult(m_socket, &m_overlapped, &bytes, FALSE, &flags)) {
        error = WSAGetLastError();
        // Still running: the destructor must cancel it before the buffer goes.
        if (error != WSA_IO_INCOMPLETE) m_running = false;
        return false;
    }
    m_running = false;
    received = static_cast<int>(bytes);
    return true;
}

}  // namespace qxftp
