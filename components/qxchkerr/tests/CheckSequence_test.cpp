#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "checks/CheckSequence.h"
#include "config/IniFile.h"
#include "config/TestScratch.h"

namespace {
// Records the findings in order; asks the sequence to stop after stopAfter checks.
struct Recorder : ICheckObserver {
    explicit Recorder(int stop = CHECK_COUNT) : stopAfter(stop) {}
    void OnCheckStarted(CheckId id) override { started = id; }
    void OnCheckFinished(CheckId id, const CheckFinding& finding) override {
        EXPECT_EQ(started, id) << "every finish follows its own start";
        EXPECT_EQ(static_cast<size_t>(id), findings.size()) << "checks run in order";
        findings.push_back(finding);
    }
    bool StopRequested() override { return static_cast<int>(findings.size()) >= stopAfter; }
    int stopAfter;
    CheckId started = CheckId(-1);
    std::vector<CheckFinding> findings;
};

// What each check found: "P" when it passed, else its problem's name from N().
std::string RunChecks(const std::wstring& config, const std::wstring& folder, Recorder&& recorder = Recorder()) {
    CheckBudgets budgets;
    budgets.serverMs = 20000;  // healthy local servers: generous, the bound is tested elsewhere
    RunCheckSequence(CheckerInputs{config, folder, L"ERR"}, budgets, recorder);
    std::string out;
    for (const CheckFinding& f : recorder.findings)
        out += f.Passed() ? "P " : std::to_string(int(f.problem)) + " ";
    return out;
}
std::string N(CheckProblem problem) { return std::to_string(int(problem)) + " "; }
}  // namespace

TEST(CheckSequence, LaterNetworkChecksAreSkippedAfterAFailureButLocalOnesRun) {
    fennick_testing::ScratchFolder root;
    const std::wstring folder = root.Path() + L"\\";
    CScriptedServer ftp([](const std::string& line) {
        return std::string(line.empty() ? "220 ready" : line.compare(0, 4, "SIZE") == 0 ? "213 4096" : "230 in");
    });
    EXPECT_EQ(RunChecks(L"ftp://127.0.0.1:" + std::to_wstring(ftp.Port()) + L"/pub/setup.exe", folder + L"Vantrel\\Fennick\\"),
              "P P P P P P ");
    const int closedPort = CScriptedServer([](const std::string&) { return std::string(); }).Port();  // now closed
    const std::string refused = N(CheckProblem::ConnectRefused), skipped = N(CheckProblem::EarlierCheckFailed);
    const std::wstring closedFtp = L"ftp://127.0.0.1:" + std::to_wstring(closedPort) + L"/pub/setup.exe";
    EXPECT_EQ(RunChecks(closedFtp, folder), "P P " + refused + skipped + "P " + N(CheckProblem::SizeUnknown));
    // A size recorded by an earlier run stands in for the unreachable server.
    ASSERT_TRUE(WriteIniString(folder + L"setup.exe_tmp_sz", L"Main", L"size", L"1048576"));
    EXPECT_EQ(RunChecks(closedFtp, folder), "P P " + refused + skipped + "P P ");
    const std::string missing = N(CheckProblem::ConfigMissing);
    EXPECT_EQ(RunChecks(L"ERR", folder), missing + skipped + skipped + skipped + "P " + N(CheckProblem::SizeUnknown));
    EXPECT_EQ(RunChecks(L"ERR", folder, Recorder(2)), missing + skipped);
}
