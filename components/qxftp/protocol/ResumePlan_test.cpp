#include "protocol/ResumePlan.h"
#include "ProgressPacing.h"

#include <gtest/gtest.h>

namespace qxftp {
namespace {

TEST(ResumePlan, ContinuesOnlyTheBeginningOfTheSameVersion) {
    const std::uint64_t big = 5ull << 30;  // above 4 GiB: no 32-bit shortcut anywhere
    const std::string t1 = "20240101000000", t2 = "20240101000001";
    using A = ResumeAction;
    const struct {
        ResumeFacts facts;
        ResumeAction action;
        std::uint64_t offset;
    } cases[] = {
        {{false, true, 10, 100, t1, t1}, A::StartFromZero, 0},  // replace mode always starts afresh
        {{true, false, 0, 100, t1, t1}, A::StartFromZero, 0},   // no local file
        {{true, true, 40, 100, t1, t1}, A::ContinueAtOffset, 40},
        {{true, true, big - 1, big, t1, t1}, A::ContinueAtOffset, big - 1},
        {{true, true, 100, 100, t1, t1}, A::NothingToTransfer, 0},
        {{true, true, 101, 100, t1, t1}, A::StartFromZero, 0},  // local longer than remote
        {{true, true, 40, 100, t2, t1}, A::StartFromZero, 0},   // new version at the same size
        {{true, true, 40, 100, t1, ""}, A::StartFromZero, 0},   // a stamp now but none recorded
        {{true, true, 40, 100, "", t1}, A::ContinueAtOffset, 40},  // no MDTM: the sizes decide
        {{true, true, 0, 0, "", ""}, A::NothingToTransfer, 0},     // empty remote file, empty local
    };
    for (const auto& c : cases) {
        const ResumePlan plan = PlanResume(c.facts);
        EXPECT_EQ(plan.action, c.action) << c.facts.localSize << " " << c.facts.remoteModified;
        EXPECT_EQ(plan.offset, c.offset) << c.facts.localSize << " " << c.facts.remoteModified;
    }
    // A whole file needs a positive final reply and exactly the expected count (a reset looks
    // like a clean end; the file may grow meanwhile; 426 after all bytes is still an abort).
    EXPECT_TRUE(IsWholeDownload(226, 0, 100, 100) && IsWholeDownload(250, 40, 60, 100));
    for (const auto& [code, offset, received] :
         {std::tuple<int, int, int>{226, 40, 59}, {226, 40, 61}, {426, 0, 100}, {226, 200, 0}})
        EXPECT_FALSE(IsWholeDownload(code, offset, received, 100)) << code << " " << offset << " " << received;
    EXPECT_TRUE(IsWholeDownload(226, (6ull << 30) - 10, 10, 6ull << 30));
    EXPECT_FALSE(IsWholeDownload(226, (6ull << 30) - 10, 10 + (1ull << 32), 6ull << 30));
}

TEST(ProgressPacer, PerMilleAcrossSixtyFourBitsAndReportsWhileDataArrives) {
    EXPECT_EQ(PerMille(5, 0), 1000);
    EXPECT_EQ(PerMille(3ull << 31, 6ull << 31), 500);
    EXPECT_EQ(PerMille(UINT64_MAX - 1, UINT64_MAX), 999);
    ProgressPacer pacer(1000, 100);
    // first data, nothing new, a second later, a change too soon after that, the change once the
    // spacing has passed, another too soon, the whole at once, a clock gone backwards
    std::string reported;
    for (auto r : {std::make_pair(0, 5000), {0, 5999}, {0, 6000}, {1, 6001}, {1, 6100}, {2, 6150}, {1000, 6151},
                   {1000, 100}})
        reported += pacer.ShouldReport(r.first, r.second) ? "y" : "n";
    EXPECT_EQ(reported, "ynynynyy");
    EXPECT_FALSE(pacer.ShouldReportCompletion()) << "1000 was reported";
    ProgressPacer unspaced;
    EXPECT_TRUE(unspaced.ShouldReport(0, 0) && unspaced.ShouldReport(1, 1));
    // A held change falls due when the spacing has passed, also without further bytes.
    ProgressPacer held(1000, 100);
    EXPECT_TRUE(held.ShouldReport(0, 0) && !held.ShouldReport(7, 30) && held.HasHeldChange());
    EXPECT_EQ(held.HeldChangeDueInMs(30), 70u);
    EXPECT_EQ(held.HeldChangeDueInMs(130), 0u);
    EXPECT_EQ(held.TakeHeldChange(130), 7);
    EXPECT_FALSE(held.HasHeldChange() || held.ShouldReport(7, 200)) << "7 is shown";
    EXPECT_TRUE(held.ShouldReportCompletion());
    EXPECT_FALSE(held.ShouldReportCompletion()) << "1000 once";
}

}  // namespace
}  // namespace qxftp
