#include <gtest/gtest.h>

#include <mutex>

#include "ScriptedServer.h"
#include "checks/ServerCheck.h"

namespace {
// Healthy local servers must pass; the first WinHTTP request under Wine takes seconds.
const DWORD kAnswerMs = 20000;

// An FTP server answering USER, PASS, TYPE and SIZE from the script and logging the commands.
struct FtpScript {
    std::string greeting = "220 ready\r\n", user = "331 Password\r\n", pass = "230 in\r\n", size = "213 12345\r\n";
    DWORD timeoutMs = kAnswerMs;
    std::mutex lock;
    std::vector<std::string> commands;

    ServerCheckResult Check(const std::wstring& user = L"", const std::wstring& password = L"") {
        CScriptedServer server([this](SOCKET s) {
            SendText(s, greeting);
            for (std::string line = ReceiveLine(s); !line.empty(); line = ReceiveLine(s)) {
                std::lock_guard<std::mutex> guard(lock);
                commands.push_back(line);
                const std::string verb = line.substr(0, 4);
                SendText(s, verb == "USER" ? this->user : verb == "PASS" ? pass : verb == "SIZE" ? size : "200 ok\r\n");
            }
        });
        CUrlParts url;
        url.m_nScheme = URL_SCHEME_FTP;
        url.m_strHostName = L"127.0.0.1";
        url.m_strUserName = user;
        url.m_strPassword = password;
        url.m_strUrlPath = L"/pub/setup.exe";
        return CheckFtpServer(server.Addresses(), url, timeoutMs);
    }
};
}  // namespace

TEST(FtpServerCheck, LogsOnAndAsksForTheSizeAsTheInstallerDoes) {
    FtpScript script;
    script.greeting = "220-Welcome\r\n230 inner lines may carry other codes\r\n220 ready\r\n";
    script.size = "213 6442450944\r\n";
    const ServerCheckResult result = script.Check(L"alice", L"s3cret");
    ASSERT_TRUE(result.finding.Passed()) << result.finding.detail.c_str();
    EXPECT_EQ(result.nPackageSize, 6442450944LL);
    // Some servers refuse SIZE in ASCII mode, hence TYPE I.
    const std::vector<std::string> expected = {"USER alice", "PASS s3cret", "TYPE I", "SIZE /pub/setup.exe"};
    EXPECT_EQ(std::vector<std::string>(script.commands.begin(), script.commands.begin() + 4), expected);
}

TEST(FtpServerCheck, EachRefusalHasItsOwnFinding) {
    const struct {
        std::string FtpScript::*field;
        std::string reply;
        CheckProblem expected;
    } cases[] = {
        {&FtpScript::pass, "530 Login incorrect\r\n", CheckProblem::LogOnRejected},
        {&FtpScript::user, "530 No anonymous\r\n", CheckProblem::LogOnRejected},
        {&FtpScript::greeting, "421 Too many users\r\n", CheckProblem::ServerBusy},
        {&FtpScript::greeting, "220 " + std::string(20000, 'x') + "\r\n", CheckProblem::NotExpectedServer},
        {&FtpScript::size, "550 No such file\r\n", CheckProblem::FileNotFound},
        {&FtpScript::size, "502 Not implemented\r\n", CheckProblem::SizeUnavailable},
        {&FtpScript::size, "213 99999999999999999999\r\n", CheckProblem::SizeUnavailable},
    };
    for (const auto& c : cases) {
        FtpScript script;
        script.*c.field = c.reply;
        EXPECT_EQ(script.Check().finding.problem, c.expected) << c.reply.substr(0, 30);
    }
    FtpScript smuggling;
    EXPECT_FALSE(smuggling.Check(L"alice\r\nDELE x", L"pw").finding.Passed());
    for (const std::string& command : smuggling.commands) EXPECT_EQ(command.find("DELE"), std::string::npos);

    FtpScript silent;  // says nothing: the check ends within its bound
    silent.greeting = "";
    silent.timeoutMs = 1500;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(silent.Check().finding.problem, CheckProblem::ServerSilent);
    EXPECT_LT(GetTickCount64() - start, 1500u + 5000u);
}
