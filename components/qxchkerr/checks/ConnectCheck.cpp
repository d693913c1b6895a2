#include "checks/ConnectCheck.h"

#include <string>

#include "WideDecimal.h"

UniqueSocket ConnectToAny(const std::vector<CSocketAddress>& addresses, const CDeadline& deadline, CheckFinding& finding) {
    bool anyRefused = false;
    bool anyTimedOut = false;
    std::wstring detail;
    for (const CSocketAddress& address : addresses) {
        if (deadline.Expired()) {
            anyTimedOut = true;
            break;
        }
        ConnectAttempt attempt = ConnectWithin(address, deadline);
        if (attempt.outcome == ConnectOutcome::Connected) {
            finding = CheckFinding::Pass(address.ToString());
            return std::move(attempt.socket);
        }
        anyRefused |= attempt.outcome == ConnectOutcome::Refused;
        anyTimedOut |= attempt.outcome == ConnectOutcome::TimedOut;
        if (!detail.empty()) detail += L"; ";
        detail += address.ToString() + L" error " + WideDecimal(attempt.nError);
    }
    // A refusal is the clearest answer: the machine is there and nothing listens on the port.
    const CheckProblem problem = anyRefused    ? CheckProblem::ConnectRefused
                                 : anyTimedOut ? CheckProblem::ConnectTimedOut
                                               : CheckProblem::ConnectFailed;
    finding = CheckFinding::Fail(problem, detail);
    return UniqueSocket();
}

CheckFinding CheckTcpConnect(const std::vector<CSocketAddress>& addresses, DWORD timeoutMs) {
    WinsockSession winsock;
    if (!winsock.Ready()) return CheckFinding::Fail(CheckProblem::ConnectFailed, L"Winsock did not start");
    const CDeadline deadline(timeoutMs);
    CheckFinding finding;
    UniqueSocket connection = ConnectToAny(addresses, deadline, finding);
    return finding;
}
