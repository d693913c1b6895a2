#include "protocol/ResumePlan.h"
#include "ProgressPacing.h"

#include <gtest/gtest.h>

namespace qxftp {
namespace {

TEST(ResumePlan, ContinuesOnlyTheBeginningOfTheSameVersion) {
    const std::uint64_t big = 5ull << 30;  // above 4 GiB: no 32-bit shortcut anywhere
    const char *t1 = "20240101000000", *t2 = "20240101000001";
    const struct {
        const char* name;
        ResumeFacts facts;
        ResumeAction action;
        std::uint64_t offset;
    } cases[] = {
        {"replace mode always starts afresh", ResumeFacts{false, true, 10, 100, t1, t1}, ResumeAction::StartFromZero, 0},
        {"no local file", ResumeFacts{true, false, 0, 100, t1, t1}, ResumeAction::StartFromZero, 0},
        {"same version, partial", ResumeFacts{true, true, 40, 100, t1, t1}, ResumeAction::ContinueAtOffset, 40},
        {"same version, above 4 GiB", ResumeFacts{true, true, big - 1, big, t1, t1}, ResumeAction::ContinueAtOffset, big - 1},
        {"same version, complete", ResumeFacts{true, true, 100, 100, t1, t1}, ResumeAction::NothingToTransfer, 0},
        {"local longer than remote", ResumeFacts{true, true, 101, 100, t1, t1}, ResumeAction::StartFromZero, 0},
        {"new version at the same size", ResumeFacts{true, true, 40, 100, t2, t1}, ResumeAction::StartFromZero, 0},
        {"stamp now but none recorded", ResumeFacts{true, true, 40, 100, t1, ""}, ResumeAction::StartFromZero, 0},
        {"server without MDTM: sizes decide", ResumeFacts{true, true, 40, 100, "", t1}, ResumeAction::ContinueAtOffset, 40},
        {"empty remote file, empty local", ResumeFacts{true, true, 0, 0, "", ""}, ResumeAction::NothingToTransfer, 0},
    };
    for (const auto& c : cases) {
        const ResumePlan plan = PlanResume(c.facts);
        EXPECT_EQ(plan.action, c.action) << c.name;
        EXPECT_EQ(plan.offset, c.offset) << c.name;
    }
}

TEST(ResumePlan, WholeDownloadNeedsPositiveReplyAndExactCount) {
    EXPECT_TRUE(IsWholeDownload(226, 0, 100, 100));
    EXPECT_TRUE(IsWholeDownload(250, 40, 60, 100));
    EXPECT_FALSE(IsWholeDownload(226, 40, 59, 100));   // reset seen as a clean end
    EXPECT_FALSE(IsWholeDownload(226, 40, 61, 100));   // the file grew meanwhile
    EXPECT_FALSE(IsWholeDownload(426, 0, 100, 100));   // all bytes, but the server says aborted
    EXPECT_FALSE(IsWholeDownload(226, 200, 0, 100));   // offset past the end
    const std::uint64_t big = 6ull << 30;
    EXPECT_TRUE(IsWholeDownload(226, big - 10, 10, big));
    EXPECT_FALSE(IsWholeDownload(226, big - 10, 10 + (1ull << 32), big));
}

TEST(ProgressPacer, PerMilleAcrossSixtyFourBitsAndReportsWhileDataArrives) {
    EXPECT_EQ(PerMille(5, 0), 1000);
    EXPECT_EQ(PerMille(3ull << 31, 6ull << 31), 500);
    EXPECT_EQ(PerMille(UINT64_MAX - 1, UINT64_MAX), 999);
    ProgressPacer pacer(1000);
    // first data, nothing new, a second later, a change, nothing new, a clock gone backwards
    std::string reported;
    for (auto r : {std::make_pair(0, 5000), {0, 5999}, {0, 6000}, {1, 6001}, {1, 6500}, {1, 100}})
        reported += pacer.ShouldReport(r.first, r.second) ? "y" : "n";
    EXPECT_EQ(reported, "ynyyny");
    EXPECT_TRUE(pacer.ShouldReportCompletion());
    EXPECT_FALSE(pacer.ShouldReportCompletion()) << "1000 once";
}

}  // namespace
}  // namespace qxftp
