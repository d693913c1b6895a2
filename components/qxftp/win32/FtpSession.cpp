#include "win32/FtpSession.h"

#include "protocol/ReplyValues.h"

namespace qxftp {

namespace {

constexpr unsigned KNOWN_FLAGS = QXFTP_LOGON_PASV_ONLY | QXFTP_LOGON_TIMEOUT_MASK;
constexpr int MAX_PRELIMINARY_GREETINGS = 5;

bool ValidPort(int port) { return port >= 0 && port <= 65535; }
std::uint16_t PortOrDefault(int port) { return static_cast<std::uint16_t>(port == 0 ? 21 : port); }

// "user@host" or "user@host:port" for a proxy that connects on to the server.
std::string ProxyUserName(const LogonRequest& request) {
    std::string host = request.host;
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    std::string name = request.user + "@" + host;
    if (PortOrDefault(request.port) != 21) name += ":" + std::to_string(request.port);
    return name;
}

}  // namespace

bool FtpSession::LogOn(const LogonRequest& request, Failure& failure) {
    const bool viaProxy = !request.proxyHost.empty();
    if (request.host.empty()) return Fail(failure, QXFTP_E_INVALID_ARGUMENT, "no host name");
    if (!ValidPort(request.port) || (viaProxy && !ValidPort(request.proxyPort))) {
        return Fail(failure, QXFTP_E_INVALID_ARGUMENT, "port out of range");
    }
    if ((request.flags & ~KNOWN_FLAGS) != 0) return Fail(failure, QXFTP_E_INVALID_ARGUMENT, "unknown logon flags");

    LogOff();
    const unsigned timeoutSeconds = (request.flags & QXFTP_LOGON_TIMEOUT_MASK) >> QXFTP_LOGON_TIMEOUT_SHIFT;
    m_receiveTimeoutMs = timeoutSeconds == 0 ? DEFAULT_RECEIVE_TIMEOUT_MS : timeoutSeconds * 1000;
    m_pasvOnly = (request.flags & QXFTP_LOGON_PASV_ONLY) != 0;
    m_epsvRefused = false;

    const std::string& host = viaProxy ? request.proxyHost : request.host;
    const std::uint16_t port = PortOrDefault(viaProxy ? request.proxyPort : request.port);
    if (!m_control.Open(host, port, CONNECT_TIMEOUT_MS, m_receiveTimeoutMs, failure)) return false;
    bool ok = ReadGreeting(failure);
    if (ok && viaProxy) {
        if (!request.proxyUser.empty()) {
            ok = LogOnAs(request.proxyUser, request.proxyPassword, request.account, failure);
        }
        if (ok) ok = LogOnAs(ProxyUserName(request), request.password, request.account, failure);
    } else if (ok) {
        ok = LogOnAs(request.user.empty() ? "anonymous" : request.user, request.password, request.account, failure);
    }
    if (!ok) {
        DropConnection();
        return false;
    }
    m_loggedOn = true;
    return true;
}

bool FtpSession::ReadGreeting(Failure& failure) {
    FtpReply reply;
    for (int i = 0; i <= MAX_PRELIMINARY_GREETINGS; ++i) {
        if (!m_control.ReadReply(reply, failure)) return false;
        if (!reply.IsPreliminary()) break;  // 120: ready in a while
    }
    if (reply.code != 220) return Fail(failure, QXFTP_E_LOGON_REFUSED, "the server does not accept sessions", &reply);
    return true;
}

bool FtpSession::LogOnAs(const std::string& user, const std::string& password, const std::string& account,
                         Failure& failure) {
    FtpReply reply;
    if (!m_control.Command("USER", user, reply, failure)) return false;
    bool passwordSent = false;
    bool accountSent = false;
    for (;;) {
        if (reply.code == 230 || reply.code == 202) return true;  // some servers need no password
        if (reply.code == 331 && !passwordSent) {
            passwordSent = true;
            if (!m_control.Command("PASS", password, reply, failure)) return false;
        } else if (reply.code == 332 && !accountSent && !account.empty()) {
            accountSent = true;
            if (!m_control.Command("ACCT", account, reply, failure)) return false;
        } else {
            return Fail(failure, QXFTP_E_LOGON_REFUSED, "logon refused", &reply);
        }
    }
}

void FtpSession::LogOff() {
    if (m_control.IsOpen()) {
        // A polite QUIT, but never a long wait for its answer.
        Failure ignored;
        FtpReply reply;
        if (m_control.SetReceiveTimeout(SHORT_REPLY_TIMEOUT_MS)) m_control.Command("QUIT", "", reply, ignored);
    }
    DropConnection();
}

void FtpSession::DropConnection() {
    m_control.Close();
    m_loggedOn = false;
}

bool FtpSession::RequireLogon(Failure& failure) const {
    if (m_loggedOn && m_control.IsOpen()) return true;
    return Fail(failure, QXFTP_E_NOT_LOGGED_ON, "not logged on");
}

bool FtpSession::SimpleCommand(const char* verb, const std::string& argument, Failure& failure) {
    FtpReply reply;
    if (!m_control.Command(verb, argument, reply, failure)) return false;
    if (reply.IsPositive()) return true;
    const int code = reply.code == 550 ? QXFTP_E_NOT_FOUND : QXFTP_E_REFUSED;
    return Fail(failure, code, std::string(verb) + " refused", &reply);
}

bool FtpSession::SetBinaryType(Failure& failure) { return SimpleCommand("TYPE", "I", failure); }

bool FtpSession::QuerySize(const std::string& remotePath, std::uint64_t& size, Failure& failure) {
    FtpReply reply;
    if (!m_control.Command("SIZE", remotePath, reply, failure)) return false;
    if (ParseSizeReply(reply, size)) return true;
    if (reply.code == 213) return Fail(failure, QXFTP_E_PROTOCOL, "unreadable SIZE reply", &reply);
    if (reply.code == 500 || reply.code == 502 || reply.code == 504) {
        return Fail(failure, QXFTP_E_NOT_SUPPORTED, "the server does not report sizes", &reply);
    }
    if (reply.code == 550) return Fail(failure, QXFTP_E_NOT_FOUND, "SIZE refused", &reply);
    return Fail(failure, QXFTP_E_REFUSED, "SIZE refused", &reply);
}

bool FtpSession::QueryModified(const std::string& remotePath, std::string& stamp, Failure& failure) {
    FtpReply reply;
    if (!m_control.Command("MDTM", remotePath, reply, failure)) return false;
    // No usable stamp is not an error: the sizes alone decide then.
    if (!ParseModifiedReply(reply, stamp)) stamp.clear();
    return true;
}

bool FtpSession::RemoteSize(const std::string& remotePath, std::uint64_t& size, Failure& failure) {
    return RequireLogon(failure) && SetBinaryType(failure) && QuerySize(remotePath, size, failure);
}

bool FtpSession::Rename(const std::string& fromPath, const std::string& toPath, Failure& failure) {
    if (!RequireLogon(failure)) return false;
    FtpReply reply;
    if (!m_control.Command("RNFR", fromPath, reply, failure)) return false;
    if (reply.code != 350) {
        const int code = reply.code == 550 ? QXFTP_E_NOT_FOUND : QXFTP_E_REFUSED;
        return Fail(failure, code, "RNFR refused", &reply);
    }
    return SimpleCommand("RNTO", toPath, failure);
}

bool FtpSession::Delete(const std::string& remotePath, Failure& failure) {
    return RequireLogon(failure) && SimpleCommand("DELE", remotePath, failure);
}

bool FtpSession::ChangeFolder(const std::string& remoteFolder, Failure& failure) {
    return RequireLogon(failure) && SimpleCommand("CWD", remoteFolder, failure);
}

int FtpSession::Exists(const std::string& remotePath, Failure& failure) {
    std::uint64_t size = 0;
    if (RemoteSize(remotePath, size, failure)) return 1;
    return failure.code == QXFTP_E_NOT_FOUND ? 0 : -1;
}

bool FtpSession::FileInfo(const std::string& remotePath, std::uint64_t& size, std::string& modified,
                          Failure& failure) {
    return RemoteSize(remotePath, size, failure) && QueryModified(remotePath, modified, failure);
}

void FtpSession::RecordFailure(const Failure& failure) {
    std::lock_guard<CSrwLock> guard(m_errorLock);
    m_lastError = failure;
}

Failure FtpSession::LastError() const {
    std::lock_guard<CSrwLock> guard(m_errorLock);
    return m_lastError;
}

void FtpSession::ClearError() {
    std::lock_guard<CSrwLock> guard(m_errorLock);
    m_lastError = Failure();
}

}  // namespace qxftp
