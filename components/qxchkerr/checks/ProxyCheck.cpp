#include "checks/ProxyCheck.h"

#include <cctype>

#include "WideDecimal.h"
#include "checks/ConnectCheck.h"
#include "checks/SystemEntries.h"

namespace {

// A proxy's answer head larger than this is not one we can judge.
const size_t MAX_ANSWER_BYTES = 8192;

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The status of "HTTP/1.x NNN ..."; 0 when the head does not start so.
int StatusOf(const std::string& head) {
    if (head.compare(0, 5, "HTTP/") != 0) return 0;
    const size_t blank = head.find(' ');
    if (blank == std::string::npos || blank + 4 > head.size()) return 0;
    int status = 0;
    for (size_t i = blank + 1; i < blank + 4; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(head[i]))) return 0;
        status = status * 10 + (head[i] - '0');
    }
    return status;
}

bool OffersWindowsLogon(const std::string& head) {
    const std::string lower = Lower(head);
    for (const char* scheme : {"negotiate", "ntlm"})
        if (lower.find(std::string("\nproxy-authenticate: ") + scheme) != std::string::npos) return true;
    return false;
}

}  // namespace

ProxyChoice ProxyForCheck(const std::wstring& strUrl, const CUrlParts& url, DWORD timeoutMs) {
    if (url.m_nScheme != URL_SCHEME_HTTP && url.m_nScheme != URL_SCHEME_HTTPS) return ProxyChoice();
    const bool secure = url.m_nScheme == URL_SCHEME_HTTPS;
    const INTERNET_PORT port = static_cast<INTERNET_PORT>(url.m_nPort);
    // The look-up bounds its own wait, as it does in QXHttp, and holds winhttp while it runs late.
    const WinHttpEntries winHttp;
    return winHttp.ready ? LookUpProxy(winHttp.Proxy(), strUrl, url.m_strHostName, port, secure, timeoutMs)
                         : ProxyChoice();
}

CheckFinding CheckProxyTunnel(const std::vector<CSocketAddress>& proxyAddresses, const ProxyChoice& proxy,
                              const CUrlParts& url, DWORD timeoutMs) {
    const std::wstring name = proxy.Name();
    WinsockSession winsock;
    if (!winsock.Ready()) return CheckFinding::Fail(CheckProblem::ConnectFailed, L"Winsock did not start");
    const CDeadline deadline(timeoutMs);
    CheckFinding connected;
    const UniqueSocket connection = ConnectToAny(proxyAddresses, deadline, connected);
    if (!connected.Passed())
        return CheckFinding::Fail(CheckProblem::ProxyUnreachable, L"proxy " + name + L": " + connected.detail).Via(name);
    // Plain http goes to the proxy request by request: there is no tunnel to try.
    if (url.m_nScheme != URL_SCHEME_HTTPS) return CheckFinding::Pass(L"proxy " + name).Via(name);

    const std::wstring host = url.m_strHostName.find(L':') != std::wstring::npos ? L"[" + url.m_strHostName + L"]"
                                                                                  : url.m_strHostName;
    const std::string target = Narrow(host) + ":" + std::to_string(url.m_nPort);
    std::string head;
    if (SendAllWithin(connection.Get(), "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n\r\n", deadline)) {
        char buffer[1024];
        int received = 0;
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < MAX_ANSWER_BYTES &&
               ReceiveWithin(connection.Get(), buffer, sizeof(buffer), received, deadline) == ReceiveOutcome::Data)
            head.append(buffer, received);
    }
    const int status = StatusOf(head);
    const std::wstring detail = L"proxy " + name + L" answered CONNECT with " + WideDecimal(status);
    if (status == 200) return CheckFinding::Pass(detail).Via(name);
    if (status == 407)
        return OffersWindowsLogon(head) ? CheckFinding::Pass(detail).Via(name)
                                        : CheckFinding::Fail(CheckProblem::ProxyLoginRequired, detail).Via(name);
    if (status == 0) return CheckFinding::Fail(CheckProblem::ProxyUnreachable, detail).Via(name);
    return CheckFinding::Fail(CheckProblem::ProxyRefused, detail).Via(name);
}
