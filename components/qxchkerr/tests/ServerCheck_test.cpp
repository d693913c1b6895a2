#include <gtest/gtest.h>

#include <map>

#include "ScriptedServer.h"
#include "checks/ResolveCheck.h"
#include "checks/ServerCheck.h"

namespace {
const DWORD kBoundMs = 4000;

// An FTP server answering the greeting (""), USER, PASS and SIZE from `replies`, anything else
// "200 ok", and logging the commands it was sent.
struct FtpScript {
    std::map<std::string, std::string> replies = {
        {"", "220 ready"}, {"USER", "331 Password"}, {"PASS", "230 in"}, {"SIZE", "213 6442450944"}};
    std::vector<std::string> commands;

    ServerCheckResult Check(const std::wstring& user, const std::wstring& password) {
        CScriptedServer server([this](const std::string& line) {
            if (!line.empty()) commands.push_back(line);
            const auto found = replies.find(line.substr(0, 4));
            return found == replies.end() ? std::string("200 ok") : found->second;
        });
        CUrlParts url;
        url.m_strUserName = user;
        url.m_strPassword = password;
        url.m_strUrlPath = L"/pub/setup.exe";
        return CheckFtpServer(CheckHostResolves(L"127.0.0.1", server.Port(), kBoundMs).addresses, url, kBoundMs);
    }
};
}  // namespace

TEST(FtpServerCheck, LogsOnAsksForTheSizeAndNamesEachRefusalWithinItsBound) {
    const struct {
        const char* verb;
        std::string reply;
        CheckProblem expected;
    } cases[] = {
        {"", "220-Welcome\r\n230 inner lines may carry other codes\r\n220 ready", CheckProblem::None},
        {"PASS", "530 Login incorrect", CheckProblem::LogOnRejected},
        {"USER", "530 No anonymous", CheckProblem::LogOnRejected},  // PASS only after 331
        {"", "421 Too many users", CheckProblem::ServerBusy},
        {"", "220 " + std::string(20000, 'x'), CheckProblem::NotExpectedServer},
        {"SIZE", "550 No such file", CheckProblem::FileNotFound},
        {"SIZE", "502 Not implemented", CheckProblem::SizeUnavailable},
        {"SIZE", "213 99999999999999999999", CheckProblem::SizeUnavailable},
        {"", "", CheckProblem::ServerSilent},
    };
    for (const auto& c : cases) {
        FtpScript script;
        script.replies[c.verb] = c.reply;
        const ULONGLONG start = GetTickCount64();
        const ServerCheckResult result = script.Check(L"alice", L"s3cret");
        EXPECT_EQ(result.finding.problem, c.expected) << c.reply.substr(0, 30);
        EXPECT_LT(GetTickCount64() - start, kBoundMs + 3000u) << c.reply.substr(0, 30);
        if (!result.finding.Passed()) continue;
        EXPECT_EQ(result.nPackageSize, 6442450944LL);
        // Some servers refuse SIZE in ASCII mode, hence TYPE I.
        const std::vector<std::string> expected = {"USER alice", "PASS s3cret", "TYPE I", "SIZE /pub/setup.exe"};
        EXPECT_EQ(std::vector<std::string>(script.commands.begin(), script.commands.begin() + 4), expected);
    }
    FtpScript smuggling;
    EXPECT_FALSE(smuggling.Check(L"alice\r\nDELE x", L"pw").finding.Passed());
    for (const std::string& command : smuggling.commands) EXPECT_EQ(command.find("DELE"), std::string::npos);
}
