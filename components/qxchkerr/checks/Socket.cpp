#include "checks/Socket.h"

std::wstring CSocketAddress::ToString() const {
    wchar_t text[INET6_ADDRSTRLEN + 16] = {};
    DWORD length = static_cast<DWORD>(sizeof(text) / sizeof(text[0]));
    sockaddr_storage copy = m_storage;  // WSAAddressToStringW takes a non-const pointer
    if (WSAAddressToStringW(reinterpret_cast<sockaddr*>(&copy), static_cast<DWORD>(m_nLength), nullptr,
                            text, &length) != 0)
        return L"?";
    return text;
}

namespace {

timeval ToTimeval(DWORD milliseconds) {
    timeval tv;
    tv.tv_sec = static_cast<long>(milliseconds / 1000);
    tv.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
    return tv;
}

bool SetBlocking(SOCKET s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

ConnectOutcome OutcomeOf(int error) {
    switch (error) {
    case WSAECONNREFUSED: return ConnectOutcome::Refused;
    case WSAETIMEDOUT: return ConnectOutcome::TimedOut;
    default: return ConnectOutcome::Unreachable;
    }
}

}  // namespace

ConnectAttempt ConnectWithin(const CSocketAddress& address, const CDeadline& deadline) {
    ConnectAttempt attempt;
    UniqueSocket s(socket(address.m_storage.ss_family, SOCK_STREAM, IPPROTO_TCP));
    if (!s.IsValid() || !SetBlocking(s.Get(), false)) {
        attempt.nError = WSAGetLastError();
        return attempt;
    }
    if (connect(s.Get(), reinterpret_cast<const sockaddr*>(&address.m_storage), address.m_nLength) != 0) {
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) {
            attempt.nError = error;
            attempt.outcome = OutcomeOf(error);
            return attempt;
        }
        // Windows reports a failed connect through the exception set, a finished one through
        // the write set.
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s.Get(), &writable);
        FD_SET(s.Get(), &failed);
        timeval wait = ToTimeval(deadline.Remaining());
        const int ready = select(0, nullptr, &writable, &failed, &wait);
        if (ready == 0) {
            attempt.outcome = ConnectOutcome::TimedOut;
            attempt.nError = WSAETIMEDOUT;
            return attempt;
        }
        if (ready == SOCKET_ERROR) {
            attempt.nError = WSAGetLastError();
            return attempt;
        }
        int socketError = 0;
        int length = sizeof(socketError);
        if (getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &length) != 0)
            socketError = WSAGetLastError();
        if (FD_ISSET(s.Get(), &failed) || socketError != 0) {
            attempt.nError = socketError != 0 ? socketError : WSAECONNREFUSED;
            attempt.outcome = OutcomeOf(attempt.nError);
            return attempt;
        }
    }
    if (!SetBlocking(s.Get(), true)) {
        attempt.nError = WSAGetLastError();
        return attempt;
    }
    attempt.outcome = ConnectOutcome::Connected;
    attempt.socket = std::move(s);
    return attempt;
}

bool SendAllWithin(SOCKET s, const std::string& bytes, const CDeadline& deadline) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(s, &writable);
        timeval wait = ToTimeval(deadline.Remaining());
        if (select(0, nullptr, &writable, nullptr, &wait) != 1) return false;
        const size_t chunk = bytes.size() - sent;
        const int count = send(s, bytes.data() + sent, chunk > 65536 ? 65536 : static_cast<int>(chunk), 0);
        if (count <= 0) return false;
        sent += static_cast<size_t>(count);
    }
    return true;
}

ReceiveOutcome ReceiveWithin(SOCKET s, char* buffer, int capacity, int& received, const CDeadline& deadline) {
    received = 0;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait = ToTimeval(deadline.Remaining());
    const int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready == 0) return ReceiveOutcome::TimedOut;
    if (ready == SOCKET_ERROR) return ReceiveOutcome::Failed;
    const int count = recv(s, buffer, capacity, 0);
    if (count == 0) return ReceiveOutcome::Closed;
    if (count < 0) return WSAGetLastError() == WSAECONNRESET ? ReceiveOutcome::Closed : ReceiveOutcome::Failed;
    received = count;
    return ReceiveOutcome::Data;
}
