#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "ScriptedServer.h"
#include "checks/ServerCheck.h"

namespace {

const ULONGLONG BOUND_SLACK_MS = 5000;

// What the fake server answers, and the commands it received.
struct FtpScript {
    std::string greeting = "220 Fake FTP ready\r\n";
    std::string userReply = "331 Password required\r\n";
    std::string passReply = "230 Logged on\r\n";
    std::string typeReply = "200 Type set to I\r\n";
    std::string sizeReply = "213 12345\r\n";

    std::mutex lock;
    std::vector<std::string> commands;
};

CScriptedServer::Session FtpSession(FtpScript& script) {
    return [&script](SOCKET s) {
        SendText(s, script.greeting);
        for (;;) {
            const std::string line = ReceiveLine(s);
            if (line.empty()) return;
            {
                std::lock_guard<std::mutex> guard(script.lock);
                script.commands.push_back(line);
            }
            const std::string verb = line.substr(0, line.find(' '));
            if (verb == "USER") SendText(s, script.userReply);
            else if (verb == "PASS") SendText(s, script.passReply);
            else if (verb == "TYPE") SendText(s, script.typeReply);
            else if (verb == "SIZE") SendText(s, script.sizeReply);
            else if (verb == "QUIT") {
                SendText(s, "221 Bye\r\n");
                return;
            } else SendText(s, "502 Not implemented\r\n");
        }
    };
}

CUrlParts FtpUrl(const std::wstring& user = L"", const std::wstring& password = L"") {
    CUrlParts url;
    url.m_nScheme = URL_SCHEME_FTP;
    url.m_strHostName = L"127.0.0.1";
    url.m_strUserName = user;
    url.m_strPassword = password;
    url.m_strUrlPath = L"/pub/setup.exe";
    return url;
}

ServerCheckResult Check(FtpScript& script, const CUrlParts& url = FtpUrl(), DWORD timeoutMs = 20000) {
    CScriptedServer server(FtpSession(script));
    return CheckFtpServer(server.Addresses(), url, timeoutMs);
}

TEST(FtpServerCheck, AnonymousLogOnAndSizeAsTheInstallerDoesIt) {
    FtpScript script;
    const ServerCheckResult result = Check(script);
    ASSERT_TRUE(result.finding.Passed()) << result.finding.detail.c_str();
    EXPECT_EQ(result.nPackageSize, 12345);
    std::lock_guard<std::mutex> guard(script.lock);
    ASSERT_GE(script.commands.size(), 4u);
    EXPECT_EQ(script.commands[0], "USER anonymous");
    EXPECT_EQ(script.commands[1], "PASS ");
    EXPECT_EQ(script.commands[2], "TYPE I");  // some servers refuse SIZE in ASCII mode
    EXPECT_EQ(script.commands[3], "SIZE /pub/setup.exe");
}

TEST(FtpServerCheck, UrlCredentialsAreUsedAndLargeSizesKept) {
    FtpScript script;
    script.sizeReply = "213 6442450944\r\n";  // 6 GiB
    const ServerCheckResult result = Check(script, FtpUrl(L"alice", L"s3cret"));
    ASSERT_TRUE(result.finding.Passed());
    EXPECT_EQ(result.nPackageSize, 6442450944LL);
    std::lock_guard<std::mutex> guard(script.lock);
    EXPECT_EQ(script.commands[0], "USER alice");
    EXPECT_EQ(script.commands[1], "PASS s3cret");
}

TEST(FtpServerCheck, MultiLineRepliesAreReadToTheirEnd) {
    FtpScript script;
    script.greeting = "220-Welcome\r\n230 inner lines may carry other codes\r\n220-still\r\n220 ready\r\n";
    script.passReply = "230-Notice\r\n230 Logged on\r\n";
    EXPECT_TRUE(Check(script).finding.Passed());
}

TEST(FtpServerCheck, EachServerRefusalHasItsOwnFinding) {
    struct Case {
        const char* name;
        void (*configure)(FtpScript&);
        CheckProblem expected;
    };
    const Case cases[] = {
        {"log-on rejected", [](FtpScript& s) { s.passReply = "530 Login incorrect\r\n"; }, CheckProblem::LogOnRejected},
        {"user rejected", [](FtpScript& s) { s.userReply = "530 No anonymous\r\n"; }, CheckProblem::LogOnRejected},
        {"account needed", [](FtpScript& s) { s.passReply = "332 Need account\r\n"; }, CheckProblem::LogOnRejected},
        {"busy greeting", [](FtpScript& s) { s.greeting = "421 Too many users\r\n"; }, CheckProblem::ServerBusy},
        {"not an FTP server", [](FtpScript& s) { s.greeting = "HTTP/1.1 400 Bad Request\r\n"; },
         CheckProblem::NotExpectedServer},
        {"other greeting", [](FtpScript& s) { s.greeting = "500 Go away\r\n"; }, CheckProblem::NotExpectedServer},
        {"file missing", [](FtpScript& s) { s.sizeReply = "550 No such file\r\n"; }, CheckProblem::FileNotFound},
        {"no SIZE", [](FtpScript& s) { s.sizeReply = "502 Command not implemented\r\n"; }, CheckProblem::SizeUnavailable},
        {"size not a number", [](FtpScript& s) { s.sizeReply = "213 lots\r\n"; }, CheckProblem::SizeUnavailable},
        {"size too large", [](FtpScript& s) { s.sizeReply = "213 99999999999999999999\r\n"; },
         CheckProblem::SizeUnavailable},
        {"endless line", [](FtpScript& s) { s.greeting = "220 " + std::string(20000, 'x') + "\r\n"; },
         CheckProblem::NotExpectedServer},
    };
    for (const Case& c : cases) {
        FtpScript script;
        c.configure(script);
        const ServerCheckResult result = Check(script);
        EXPECT_EQ(result.finding.status, CheckStatus::Failed) << c.name;
        EXPECT_EQ(result.finding.problem, c.expected) << c.name;
    }
}

TEST(FtpServerCheck, SilentOrClosingServerEndsWithinTheBound) {
    CScriptedServer silent([](SOCKET s) { WaitForPeerToClose(s); });
    ULONGLONG start = GetTickCount64();
    ServerCheckResult result = CheckFtpServer(silent.Addresses(), FtpUrl(), 1500);
    EXPECT_EQ(result.finding.problem, CheckProblem::ServerSilent);
    EXPECT_LT(GetTickCount64() - start, 1500 + BOUND_SLACK_MS);

    CScriptedServer closing([](SOCKET) {});
    result = CheckFtpServer(closing.Addresses(), FtpUrl(), 3000);
    EXPECT_EQ(result.finding.problem, CheckProblem::ServerSilent);
}

TEST(FtpServerCheck, CommandsCannotBeSmuggledThroughTheUrl) {
    FtpScript script;
    const ServerCheckResult result = Check(script, FtpUrl(L"alice\r\nDELE x", L"pw"));
    EXPECT_EQ(result.finding.status, CheckStatus::Failed);
    std::lock_guard<std::mutex> guard(script.lock);
    for (const std::string& command : script.commands) EXPECT_EQ(command.find("DELE"), std::string::npos);
}

}  // namespace
