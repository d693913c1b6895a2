#include "ScriptedServer.h"

namespace {

const DWORD SESSION_TIMEOUT_MS = 10000;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int BoundPort(SOCKET s) {
    sockaddr_in bound{};
    int length = sizeof(bound);
    if (getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
    return ntohs(bound.sin_port);
}

}  // namespace

CScriptedServer::CScriptedServer(Session session) : m_session(std::move(session)) {
    m_listener = CSocket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in address = Loopback(0);
    if (!m_listener.Valid() || bind(m_listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(m_listener.Get(), 8) != 0)
        return;
    m_nPort = BoundPort(m_listener.Get());
    m_hThread = CreateThread(nullptr, 0, ThreadEntry, this, 0, nullptr);
}

CScriptedServer::~CScriptedServer() {
    m_stop = true;
    if (m_hThread != nullptr) {
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
    }
}

std::vector<CSocketAddress> CScriptedServer::Addresses() const {
    CSocketAddress address;
    const sockaddr_in loopback = Loopback(m_nPort);
    memcpy(&address.m_storage, &loopback, sizeof(loopback));
    address.m_nLength = sizeof(loopback);
    return {address};
}

DWORD WINAPI CScriptedServer::ThreadEntry(LPVOID self) {
    static_cast<CScriptedServer*>(self)->Serve();
    return 0;
}

void CScriptedServer::Serve() {
    while (!m_stop) {
        // Short waits, so that the destructor is heard soon.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_listener.Get(), &readable);
        timeval wait{0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
        CSocket client(accept(m_listener.Get(), nullptr, nullptr));
        if (!client.Valid()) continue;
        const DWORD timeout = SESSION_TIMEOUT_MS;
        setsockopt(client.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        m_session(client.Get());
    }
}

std::string ReceiveLine(SOCKET s) {
    std::string line;
    char c = 0;
    while (recv(s, &c, 1, 0) == 1) {
        if (c == '\n') break;
        if (c != '\r') line += c;
    }
    return line;
}

std::string ReceiveHttpHead(SOCKET s) {
    std::string head;
    for (;;) {
        const std::string line = ReceiveLine(s);
        head += line + "\n";
        if (line.empty()) return head;
    }
}

void SendText(SOCKET s, const std::string& text) { send(s, text.data(), static_cast<int>(text.size()), 0); }

void WaitForPeerToClose(SOCKET s) {
    char buffer[256];
    while (recv(s, buffer, sizeof(buffer), 0) > 0) {
    }
}

int UnusedPort() {
    CWinsockSession winsock;
    CSocket probe(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in address = Loopback(0);
    if (bind(probe.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return 0;
    return BoundPort(probe.Get());  // free again once the probe socket closes
}
