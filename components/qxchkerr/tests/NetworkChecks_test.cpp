#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "checks/ConnectCheck.h"
#include "checks/ResolveCheck.h"

namespace {

// Generous: the checks promise a few seconds; a loaded machine must not fail the tests.
const ULONGLONG BOUND_SLACK_MS = 5000;

ULONGLONG Now() { return GetTickCount64(); }

TEST(ResolveCheck, KnownNamesAndAddressLiteralsResolve) {
    const ResolveResult byName = CheckHostResolves(L"localhost", 21, 3000);
    ASSERT_TRUE(byName.finding.Passed()) << byName.finding.detail.c_str();
    ASSERT_FALSE(byName.addresses.empty());
    EXPECT_EQ(ntohs(reinterpret_cast<const sockaddr_in*>(&byName.addresses.front().m_storage)->sin_port), 21);

    EXPECT_TRUE(CheckHostResolves(L"127.0.0.1", 80, 3000).finding.Passed());
    EXPECT_TRUE(CheckHostResolves(L"::1", 80, 3000).finding.Passed());
}

TEST(ResolveCheck, UnknownNameIsReportedWithinItsBound) {
    const ULONGLONG start = Now();
    const ResolveResult result = CheckHostResolves(L"no-such-host.invalid", 21, 3000);
    EXPECT_EQ(result.finding.status, CheckStatus::Failed);
    // A resolver without network may answer "try again" instead of "no such host".
    EXPECT_TRUE(result.finding.problem == CheckProblem::HostUnknown ||
                result.finding.problem == CheckProblem::ResolveFailed);
    EXPECT_TRUE(result.addresses.empty());
    EXPECT_LT(Now() - start, 3000 + BOUND_SLACK_MS);
}

TEST(ConnectCheck, OpenPortPassesAndClosedPortIsRefused) {
    CScriptedServer server([](SOCKET) {});
    EXPECT_TRUE(CheckTcpConnect(server.Addresses(), 3000).Passed());

    CWinsockSession winsock;
    std::vector<CSocketAddress> closed = server.Addresses();
    reinterpret_cast<sockaddr_in*>(&closed.front().m_storage)->sin_port = htons(static_cast<u_short>(UnusedPort()));
    const ULONGLONG start = Now();
    const CheckFinding refused = CheckTcpConnect(closed, 3000);
    EXPECT_EQ(refused.status, CheckStatus::Failed);
    EXPECT_EQ(refused.problem, CheckProblem::ConnectRefused);
    EXPECT_LT(Now() - start, 3000 + BOUND_SLACK_MS);
}

TEST(ConnectCheck, LaterAddressIsTriedWhenTheFirstRefuses) {
    CScriptedServer server([](SOCKET) {});
    std::vector<CSocketAddress> addresses = server.Addresses();
    CSocketAddress closed = addresses.front();
    reinterpret_cast<sockaddr_in*>(&closed.m_storage)->sin_port = htons(static_cast<u_short>(UnusedPort()));
    addresses.insert(addresses.begin(), closed);
    EXPECT_TRUE(CheckTcpConnect(addresses, 3000).Passed());
}

TEST(ConnectCheck, UnansweredConnectionEndsWithinTheBound) {
    // A listener that never accepts: once its queue is full, further connection requests go
    // unanswered, as with a server behind a firewall that drops them.
    CWinsockSession winsock;
    CSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener.Get(), 1), 0);
    int length = sizeof(address);
    ASSERT_EQ(getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    CSocketAddress target;
    memcpy(&target.m_storage, &address, sizeof(address));
    target.m_nLength = sizeof(address);
    std::vector<ConnectAttempt> fillers;
    for (int i = 0; i < 4; ++i) fillers.push_back(ConnectWithin(target, CDeadline(300)));

    const ULONGLONG start = Now();
    const CheckFinding finding = CheckTcpConnect({target}, 1500);
    EXPECT_EQ(finding.status, CheckStatus::Failed);
    EXPECT_EQ(finding.problem, CheckProblem::ConnectTimedOut) << finding.detail.c_str();
    EXPECT_LT(Now() - start, 1500 + BOUND_SLACK_MS);
}

}  // namespace
