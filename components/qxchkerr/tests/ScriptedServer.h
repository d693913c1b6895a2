#pragma once
// A TCP server on 127.0.0.1 and a free port for the checks' tests: each accepted connection is
// handed to the session, one after the other, until the server is destroyed.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "checks/Socket.h"

class CScriptedServer {
public:
    explicit CScriptedServer(std::function<void(SOCKET)> session) {
        m_address.sin_family = AF_INET;
        m_address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // port 0: any free one
        int length = sizeof(m_address);
        auto* address = reinterpret_cast<sockaddr*>(&m_address);
        if (bind(m_listener.Get(), address, length) != 0 || listen(m_listener.Get(), 8) != 0 ||
            getsockname(m_listener.Get(), address, &length) != 0)
            return;
        m_thread = std::thread([this, session] {
            while (!m_stop) {
                fd_set readable;  // short waits, so that the destructor is heard soon
                FD_ZERO(&readable);
                FD_SET(m_listener.Get(), &readable);
                timeval wait{0, 50 * 1000};
                if (select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
                UniqueSocket client(accept(m_listener.Get(), nullptr, nullptr));
                const DWORD timeout = 10000;  // a session gives up on a silent peer
                setsockopt(client.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
                if (client.IsValid()) session(client.Get());
            }
        });
    }
    ~CScriptedServer() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    int Port() const { return ntohs(m_address.sin_port); }
    std::vector<CSocketAddress> Addresses() const {
        CSocketAddress address;
        memcpy(&address.m_storage, &m_address, sizeof(m_address));
        address.m_nLength = sizeof(m_address);
        return {address};
    }

private:
    CWinsockSession m_winsock;
    UniqueSocket m_listener{socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
    sockaddr_in m_address{};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// One line without its CR LF; empty when the peer closed or went silent.
inline std::string ReceiveLine(SOCKET s) {
    std::string line;
    for (char c = 0; recv(s, &c, 1, 0) == 1 && c != '\n';)
        if (c != '\r') line += c;
    return line;
}
inline void SendText(SOCKET s, const std::string& text) { send(s, text.data(), static_cast<int>(text.size()), 0); }
