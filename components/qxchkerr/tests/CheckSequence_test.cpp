#include <gtest/gtest.h>

#include <vector>

#include "ScriptedServer.h"
#include "TestFolder.h"
#include "checks/CheckSequence.h"

namespace {

// Records what the sequence reports; may ask it to stop after a given check.
class CRecordingObserver : public ICheckObserver {
public:
    explicit CRecordingObserver(int stopAfter = CHECK_COUNT) : m_nStopAfter(stopAfter) {}
    void OnCheckStarted(CheckId id) override { started.push_back(id); }
    void OnCheckFinished(CheckId id, const CheckFinding& finding) override {
        ASSERT_FALSE(started.empty());
        EXPECT_EQ(started.back(), id);  // every finish follows its own start
        finished.push_back(id);
        findings.push_back(finding);
    }
    bool StopRequested() override { return static_cast<int>(finished.size()) >= m_nStopAfter; }

    std::vector<CheckId> started, finished;
    std::vector<CheckFinding> findings;

private:
    int m_nStopAfter;
};

CheckBudgets ShortBudgets() {
    CheckBudgets budgets;
    budgets.resolveMs = 3000;
    budgets.connectMs = 3000;
    budgets.serverMs = 20000;  // healthy local servers: generous, the bound is tested elsewhere
    return budgets;
}

void FtpServerWithPackage(SOCKET s) {
    SendText(s, "220 ready\r\n");
    for (std::string line = ReceiveLine(s); !line.empty(); line = ReceiveLine(s)) {
        if (line.compare(0, 4, "USER") == 0) SendText(s, "230 in\r\n");
        else if (line.compare(0, 4, "SIZE") == 0) SendText(s, "213 4096\r\n");
        else SendText(s, "200 ok\r\n");
    }
}

TEST(CheckSequence, EveryCheckPassesAgainstAWorkingServer) {
    CScriptedServer server(FtpServerWithPackage);
    CTestFolder root;
    CheckerInputs inputs;
    inputs.strConfigValue = L"ftp://127.0.0.1:" + std::to_wstring(server.Port()) + L"/pub/setup.exe";
    inputs.strDownloadFolder = root.Path() + L"Vantrel\\Fennick\\";
    CRecordingObserver observer;
    RunCheckSequence(inputs, ShortBudgets(), observer);
    ASSERT_EQ(observer.findings.size(), static_cast<size_t>(CHECK_COUNT));
    for (int i = 0; i < CHECK_COUNT; ++i) {
        EXPECT_EQ(observer.finished[i], static_cast<CheckId>(i));
        EXPECT_TRUE(observer.findings[i].Passed()) << i << " " << observer.findings[i].detail.c_str();
    }
}

TEST(CheckSequence, NetworkChecksAfterAFailureAreSkippedButLocalOnesRun) {
    CTestFolder root;
    CheckerInputs inputs;
    inputs.strConfigValue = L"ftp://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/pub/setup.exe";
    inputs.strDownloadFolder = root.Path();
    CRecordingObserver observer;
    RunCheckSequence(inputs, ShortBudgets(), observer);
    ASSERT_EQ(observer.findings.size(), static_cast<size_t>(CHECK_COUNT));
    EXPECT_TRUE(observer.findings[0].Passed());
    EXPECT_TRUE(observer.findings[1].Passed());
    EXPECT_EQ(observer.findings[2].problem, CheckProblem::ConnectRefused);
    EXPECT_EQ(observer.findings[3].status, CheckStatus::Skipped);
    EXPECT_EQ(observer.findings[3].problem, CheckProblem::EarlierCheckFailed);
    EXPECT_TRUE(observer.findings[4].Passed());
    EXPECT_EQ(observer.findings[5].problem, CheckProblem::SizeUnknown);  // no server, no record
}

TEST(CheckSequence, RecordedSizeStandsInForAnUnreachableServer) {
    CTestFolder root;
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"size", L"1048576", (root.Path() + L"setup.exe_tmp_sz").c_str()));
    CheckerInputs inputs;
    inputs.strConfigValue = L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/setup.exe";
    inputs.strDownloadFolder = root.Path();
    CRecordingObserver observer;
    RunCheckSequence(inputs, ShortBudgets(), observer);
    ASSERT_EQ(observer.findings.size(), static_cast<size_t>(CHECK_COUNT));
    EXPECT_TRUE(observer.findings[5].Passed()) << observer.findings[5].detail.c_str();
}

TEST(CheckSequence, MissingConfigurationSkipsTheNetworkAndStopEndsEarly) {
    CTestFolder root;
    CheckerInputs inputs;
    inputs.strConfigValue = L"ERR";
    inputs.strDownloadFolder = root.Path();
    CRecordingObserver observer;
    RunCheckSequence(inputs, ShortBudgets(), observer);
    ASSERT_EQ(observer.findings.size(), static_cast<size_t>(CHECK_COUNT));
    EXPECT_EQ(observer.findings[0].problem, CheckProblem::ConfigMissing);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(observer.findings[i].status, CheckStatus::Skipped);
    EXPECT_TRUE(observer.findings[4].Passed());

    CRecordingObserver stopping(2);
    RunCheckSequence(inputs, ShortBudgets(), stopping);
    EXPECT_EQ(stopping.finished.size(), 2u);
    EXPECT_EQ(stopping.started.size(), 2u);
}

}  // namespace
