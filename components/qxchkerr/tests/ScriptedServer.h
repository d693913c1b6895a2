#pragma once
// A line-based server on 127.0.0.1 and a free port for the checks' tests. Connections are served
// one after the other: each gets answer("") first, then answer(line) for every line it sends,
// until it closes. A non-empty answer goes out with CR LF; an empty one sends nothing.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "checks/Socket.h"

class CScriptedServer {
public:
    explicit CScriptedServer(std::function<std::string(const std::string&)> answer) : m_answer(std::move(answer)) {
        m_address.sin_family = AF_INET;
        m_address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // port 0: any free one
        int length = sizeof(m_address);
        bind(m_listener.Get(), reinterpret_cast<sockaddr*>(&m_address), length);
        listen(m_listener.Get(), 8);
        getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&m_address), &length);
        m_thread = std::thread([this] {
            for (CSocket client(Accept()); !m_stop; client = CSocket(Accept())) Serve(client.Get());
        });
    }
    ~CScriptedServer() {
        m_stop = true;  // one more connection wakes the blocked accept
        CSocket wake(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        connect(wake.Get(), reinterpret_cast<const sockaddr*>(&m_address), sizeof(m_address));
        m_thread.join();
    }
    int Port() const { return ntohs(m_address.sin_port); }

private:
    SOCKET Accept() { return accept(m_listener.Get(), nullptr, nullptr); }
    void Serve(SOCKET s) {
        std::string line;
        Send(s, m_answer(line));
        for (char c = 0; recv(s, &c, 1, 0) == 1;) {
            if (c == '\n') Send(s, m_answer(line)), line.clear();
            else if (c != '\r') line += c;
        }
    }
    static void Send(SOCKET s, const std::string& text) {
        if (!text.empty()) send(s, (text + "\r\n").data(), static_cast<int>(text.size() + 2), 0);
    }

    CWinsockSession m_winsock;
    CSocket m_listener{socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
    std::function<std::string(const std::string&)> m_answer;
    sockaddr_in m_address{};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
