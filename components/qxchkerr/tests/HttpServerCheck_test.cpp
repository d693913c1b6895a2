#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "ScriptedServer.h"
#include "checks/ServerCheck.h"

namespace {

const ULONGLONG BOUND_SLACK_MS = 5000;
// A healthy local server must pass; the first WinHTTP request of a process under Wine, on a busy
// machine, takes seconds, so these cases are not about the bound.
const DWORD ANSWER_BOUND_MS = 20000;

// Answers every request with the reply for its method; records the request heads.
struct HttpScript {
    std::string headReply;
    std::string getReply;
    std::mutex lock;
    std::vector<std::string> heads;
};

std::string Reply(const std::string& statusLine, const std::string& headers = "") {
    return "HTTP/1.1 " + statusLine + "\r\n" + headers + "Connection: close\r\n\r\n";
}

CScriptedServer::Session HttpSession(HttpScript& script) {
    return [&script](SOCKET s) {
        const std::string head = ReceiveHttpHead(s);
        {
            std::lock_guard<std::mutex> guard(script.lock);
            script.heads.push_back(head);
        }
        SendText(s, head.compare(0, 4, "HEAD") == 0 ? script.headReply : script.getReply);
    };
}

std::wstring UrlOf(const CScriptedServer& server, const std::wstring& path = L"/pub/setup.exe") {
    return L"http://127.0.0.1:" + std::to_wstring(server.Port()) + path;
}

TEST(HttpServerCheck, HeadAnswerGivesThePackageSize) {
    HttpScript script;
    script.headReply = Reply("200 OK", "Content-Length: 5368709120\r\n");
    CScriptedServer server(HttpSession(script));
    const ServerCheckResult result = CheckHttpServer(UrlOf(server, L"/pub/My%20Setup.exe?v=2#top"), ANSWER_BOUND_MS);
    ASSERT_TRUE(result.finding.Passed()) << result.finding.detail.c_str();
    EXPECT_EQ(result.nPackageSize, 5368709120LL);
    std::lock_guard<std::mutex> guard(script.lock);
    ASSERT_EQ(script.heads.size(), 1u);
    // The path goes out as configured, escapes and query kept, fragment dropped.
    EXPECT_EQ(script.heads[0].substr(0, script.heads[0].find('\n')), "HEAD /pub/My%20Setup.exe?v=2 HTTP/1.1");
}

TEST(HttpServerCheck, ServerWithoutHeadIsAskedWithARangedGet) {
    HttpScript script;
    script.headReply = Reply("405 Method Not Allowed");
    script.getReply = Reply("206 Partial Content", "Content-Range: bytes 0-0/777\r\nContent-Length: 1\r\n") + "x";
    CScriptedServer server(HttpSession(script));
    const ServerCheckResult result = CheckHttpServer(UrlOf(server), ANSWER_BOUND_MS);
    ASSERT_TRUE(result.finding.Passed()) << result.finding.detail.c_str();
    EXPECT_EQ(result.nPackageSize, 777);
    std::lock_guard<std::mutex> guard(script.lock);
    ASSERT_EQ(script.heads.size(), 2u);
    EXPECT_EQ(script.heads[1].compare(0, 4, "GET "), 0);
    EXPECT_NE(script.heads[1].find("Range: bytes=0-0"), std::string::npos);
}

TEST(HttpServerCheck, RedirectIsFollowed) {
    HttpScript script;
    CScriptedServer server([&script](SOCKET s) {
        const std::string head = ReceiveHttpHead(s);
        {
            std::lock_guard<std::mutex> guard(script.lock);
            script.heads.push_back(head);
        }
        SendText(s, head.find("/old/") != std::string::npos
                        ? Reply("302 Found", "Location: /new/setup.exe\r\nContent-Length: 0\r\n")
                        : Reply("200 OK", "Content-Length: 42\r\n"));
    });
    const ServerCheckResult result = CheckHttpServer(UrlOf(server, L"/old/setup.exe"), ANSWER_BOUND_MS);
    ASSERT_TRUE(result.finding.Passed()) << result.finding.detail.c_str();
    EXPECT_EQ(result.nPackageSize, 42);
}

TEST(HttpServerCheck, EachErrorStatusHasItsOwnFinding) {
    const struct {
        const char* status;
        CheckProblem expected;
    } cases[] = {
        {"404 Not Found", CheckProblem::FileNotFound},     {"410 Gone", CheckProblem::FileNotFound},
        {"403 Forbidden", CheckProblem::AccessDenied},      {"401 Unauthorized", CheckProblem::AccessDenied},
        {"500 Internal Server Error", CheckProblem::ServerError}, {"502 Bad Gateway", CheckProblem::ServerError},
        {"503 Service Unavailable", CheckProblem::ServerBusy}, {"418 I'm a teapot", CheckProblem::UnexpectedResponse},
    };
    for (const auto& c : cases) {
        HttpScript script;
        script.headReply = Reply(c.status, "Content-Length: 0\r\n");
        CScriptedServer server(HttpSession(script));
        const ServerCheckResult result = CheckHttpServer(UrlOf(server), ANSWER_BOUND_MS);
        EXPECT_EQ(result.finding.status, CheckStatus::Failed) << c.status;
        EXPECT_EQ(result.finding.problem, c.expected) << c.status;
    }
}

TEST(HttpServerCheck, SilentServerEndsWithinTheBound) {
    CScriptedServer silent([](SOCKET s) { WaitForPeerToClose(s); });
    const ULONGLONG start = GetTickCount64();
    const ServerCheckResult result = CheckHttpServer(UrlOf(silent), 1500);
    EXPECT_EQ(result.finding.status, CheckStatus::Failed);
    EXPECT_EQ(result.finding.problem, CheckProblem::ServerSilent);
    EXPECT_LT(GetTickCount64() - start, 1500 + BOUND_SLACK_MS);
}

}  // namespace
