#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "checks/Socket.h"

// A TCP server on 127.0.0.1 and a free port, for the checks' tests. Each accepted connection is
// handed to `session` on the server's own thread, one after the other, until the server is
// destroyed. Sessions talk through the helpers below, which give up after 10 seconds.
class CScriptedServer {
public:
    using Session = std::function<void(SOCKET)>;
    explicit CScriptedServer(Session session);
    ~CScriptedServer();
    CScriptedServer(const CScriptedServer&) = delete;
    CScriptedServer& operator=(const CScriptedServer&) = delete;

    int Port() const { return m_nPort; }
    std::vector<CSocketAddress> Addresses() const;

private:
    static DWORD WINAPI ThreadEntry(LPVOID self);
    void Serve();

    CWinsockSession m_winsock;
    CSocket m_listener;
    int m_nPort = 0;
    Session m_session;
    std::atomic<bool> m_stop{false};
    HANDLE m_hThread = nullptr;  // a Win32 thread: waited for and closed by the destructor
};

// One line without its CR LF; empty when the peer closed or went silent.
std::string ReceiveLine(SOCKET s);
// Everything up to and including the empty line that ends an HTTP request head.
std::string ReceiveHttpHead(SOCKET s);
void SendText(SOCKET s, const std::string& text);
// Waits until the peer closes (or 10 seconds pass): a session that answers nothing.
void WaitForPeerToClose(SOCKET s);

// A port on 127.0.0.1 that nothing listens on.
int UnusedPort();
