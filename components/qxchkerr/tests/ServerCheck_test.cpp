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
        return CheckFtpServer(server.Addresses(), url, kAnswerMs);
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
    FtpScript anonymous;
    ASSERT_TRUE(anonymous.Check().finding.Passed());
    EXPECT_EQ(anonymous.commands[0], "USER anonymous");
}

TEST(FtpServerCheck, EachRefusalHasItsOwnFinding) {
    const struct {
        std::string FtpScript::*field;
        std::string reply;
        CheckProblem expected;
    } cases[] = {
        {&FtpScript::pass, "530 Login incorrect\r\n", CheckProblem::LogOnRejected},
        {&FtpScript::user, "530 No anonymous\r\n", CheckProblem::LogOnRejected},
        {&FtpScript::pass, "332 Need account\r\n", CheckProblem::LogOnRejected},
        {&FtpScript::greeting, "421 Too many users\r\n", CheckProblem::ServerBusy},
        {&FtpScript::greeting, "HTTP/1.1 400 Bad Request\r\n", CheckProblem::NotExpectedServer},
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
}

TEST(FtpServerCheck, SilentServerEndsWithinTheBound) {
    CScriptedServer silent([](SOCKET s) { ReceiveLine(s); });
    const ULONGLONG start = GetTickCount64();
    CUrlParts url;
    url.m_nScheme = URL_SCHEME_FTP;
    url.m_strHostName = L"127.0.0.1";
    url.m_strUrlPath = L"/setup.exe";
    EXPECT_EQ(CheckFtpServer(silent.Addresses(), url, 1500).finding.problem, CheckProblem::ServerSilent);
    EXPECT_LT(GetTickCount64() - start, 1500u + 5000u);
}

TEST(HttpServerCheck, SizeFromHeadAndEachStatusHasItsFinding) {
    const struct {
        const char* headers;
        CheckProblem expected;
        long long size;
    } cases[] = {
        {"200 OK\r\nContent-Length: 5368709120", CheckProblem::None, 5368709120LL},
        {"404 Not Found", CheckProblem::FileNotFound, -1}, {"410 Gone", CheckProblem::FileNotFound, -1},
        {"403 Forbidden", CheckProblem::AccessDenied, -1}, {"401 Unauthorized", CheckProblem::AccessDenied, -1},
        {"500 Internal Server Error", CheckProblem::ServerError, -1},
        {"503 Service Unavailable", CheckProblem::ServerBusy, -1},
        {"418 I'm a teapot", CheckProblem::UnexpectedResponse, -1},
    };
    for (const auto& c : cases) {
        std::string requestLine;
        CScriptedServer server([&](SOCKET s) {
            requestLine = ReceiveLine(s);
            while (!ReceiveLine(s).empty()) {
            }
            SendText(s, std::string("HTTP/1.1 ") + c.headers + (c.size < 0 ? "\r\nContent-Length: 0" : "") +
                            "\r\nConnection: close\r\n\r\n");
        });
        const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/pub/My%20Setup.exe?v=2#top";
        const ServerCheckResult result = CheckHttpServer(url, kAnswerMs);
        EXPECT_EQ(result.finding.problem, c.expected) << c.headers;
        if (c.size < 0) continue;
        EXPECT_EQ(result.nPackageSize, c.size);
        // The path goes out as configured, escapes and query kept, fragment dropped.
        EXPECT_EQ(requestLine, "HEAD /pub/My%20Setup.exe?v=2 HTTP/1.1");
    }
}
