#include "WideDecimal.h"
#include "checks/ConnectCheck.h"
#include "checks/FtpControl.h"
#include "checks/ServerCheck.h"
#include "config/PathHelper.h"

namespace {

std::wstring Widen(const std::string& text) {
    std::wstring wide;
    for (const char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

ServerCheckResult Fail(CheckProblem problem, const std::wstring& detail) {
    ServerCheckResult result;
    result.finding = CheckFinding::Fail(problem, detail);
    return result;
}

// The finding for a reply that did not come whole.
ServerCheckResult NoReply(FtpReplyOutcome outcome, const wchar_t* step) {
    const CheckProblem problem =
        outcome == FtpReplyOutcome::Malformed ? CheckProblem::NotExpectedServer : CheckProblem::ServerSilent;
    const wchar_t* what = outcome == FtpReplyOutcome::Malformed ? L"malformed reply"
                          : outcome == FtpReplyOutcome::TimedOut ? L"no reply in time"
                                                                  : L"connection closed";
    return Fail(problem, std::wstring(what) + L" to " + step);
}

// "213 <digits>": the size, or -1 when the reply holds no plain decimal number that fits.
long long ParseSizeReply(const std::string& text) {
    size_t i = 3;
    while (i < text.size() && text[i] == ' ') ++i;
    long long size = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        if (digits == 18) return -1;  // beyond any real file; keeps the sum from overflowing
        size = size * 10 + (text[i] - '0');
    }
    return digits == 0 ? -1 : size;
}

// Sends a command and reads its reply; a failure on the way becomes `failure`.
bool Exchange(CFtpControl& control, const std::string& command, const wchar_t* step, const CDeadline& deadline,
              FtpReply& reply, ServerCheckResult& failure) {
    if (!control.Send(command, deadline)) {
        failure = Fail(CheckProblem::ServerSilent, std::wstring(L"could not send ") + step);
        return false;
    }
    const FtpReplyOutcome outcome = control.ReadReply(reply, deadline);
    if (outcome != FtpReplyOutcome::Complete) {
        failure = NoReply(outcome, step);
        return false;
    }
    return true;
}

ServerCheckResult LogOn(CFtpControl& control, const std::string& user, const std::string& password,
                        const CDeadline& deadline) {
    FtpReply reply;
    ServerCheckResult failure;
    if (!Exchange(control, "USER " + user, L"USER", deadline, reply, failure)) return failure;
    if (reply.nCode == 331) {
        if (!Exchange(control, "PASS " + password, L"PASS", deadline, reply, failure)) return failure;
    }
    if (reply.nCode == 230 || reply.nCode == 202) return ServerCheckResult{CheckFinding::Pass(), -1};
    if (reply.nCode == 421) return Fail(CheckProblem::ServerBusy, Widen(reply.text));
    return Fail(CheckProblem::LogOnRejected, Widen(reply.text));
}

ServerCheckResult AskSize(CFtpControl& control, const std::string& path, const CDeadline& deadline) {
    FtpReply reply;
    ServerCheckResult failure;
    // Some servers refuse SIZE in ASCII mode; the installer transfers in binary anyway.
    if (!Exchange(control, "TYPE I", L"TYPE", deadline, reply, failure)) return failure;
    if (!Exchange(control, "SIZE " + path, L"SIZE", deadline, reply, failure)) return failure;
    switch (reply.nCode) {
    case 213: {
        const long long size = ParseSizeReply(reply.text);
        if (size < 0) return Fail(CheckProblem::SizeUnavailable, Widen(reply.text));
        return ServerCheckResult{CheckFinding::Pass(L"size " + WideDecimal(size)), size};
    }
    case 550: return Fail(CheckProblem::FileNotFound, Widen(reply.text));
    case 421: return Fail(CheckProblem::ServerBusy, Widen(reply.text));
    case 530: return Fail(CheckProblem::LogOnRejected, Widen(reply.text));
    case 500: case 501: case 502: case 504: return Fail(CheckProblem::SizeUnavailable, Widen(reply.text));
    default: return Fail(CheckProblem::UnexpectedResponse, Widen(reply.text));
    }
}

}  // namespace

ServerCheckResult CheckFtpServer(const std::vector<CSocketAddress>& addresses, const CUrlParts& url, DWORD timeoutMs) {
    const CDeadline deadline(timeoutMs);
    CPathHelper helper;
    std::string user, password, path;
    if (!helper.WideToAnsiExact(url.m_strUserName.empty() ? L"anonymous" : url.m_strUserName, user) ||
        !helper.WideToAnsiExact(url.m_strPassword, password) || !helper.WideToAnsiExact(url.m_strUrlPath, path))
        return Fail(CheckProblem::AddressNotTransmittable, L"no ANSI form");

    WinsockSession winsock;
    if (!winsock.Ready()) return Fail(CheckProblem::ConnectFailed, L"Winsock did not start");
    CheckFinding connected;
    UniqueSocket socket = ConnectToAny(addresses, deadline, connected);
    if (!socket.IsValid()) return ServerCheckResult{connected, -1};
    CFtpControl control(std::move(socket));

    FtpReply greeting;
    FtpReplyOutcome outcome = control.ReadReply(greeting, deadline);
    // 120: "ready in a few minutes", followed by the real greeting when it is.
    while (outcome == FtpReplyOutcome::Complete && greeting.nCode == 120)
        outcome = control.ReadReply(greeting, deadline);
    if (outcome != FtpReplyOutcome::Complete) return NoReply(outcome, L"the greeting");
    if (greeting.nCode == 421) return Fail(CheckProblem::ServerBusy, Widen(greeting.text));
    if (greeting.nCode != 220) return Fail(CheckProblem::NotExpectedServer, Widen(greeting.text));

    ServerCheckResult result = LogOn(control, user, password, deadline);
    if (!result.finding.Passed()) return result;
    result = AskSize(control, path, deadline);
    // A polite goodbye; its answer does not matter and is not waited for.
    control.Send("QUIT", CDeadline(deadline.Remaining() < 500 ? deadline.Remaining() : 500));
    return result;
}
