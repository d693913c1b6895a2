#include <gtest/gtest.h>

#include "ResumeDecision.h"

namespace {
const uint64_t kBig = 6000000000ull;  // above 4 GiB on purpose

PartialState Partial(uint64_t size, uint64_t total, bool totalRecorded = true,
                     Validator::Kind kind = Validator::EntityTag) {
    PartialState state;
    state.partialSize = size;
    state.totalRecorded = totalRecorded;
    state.recordedTotal = total;
    state.validator.kind = kind;
    state.validator.value = L"\"v1\"";
    return state;
}
}  // namespace

TEST(PlanRequest, ResumesOnlyAProvenPartialFile) {
    const RequestPlan plan = PlanRequest(Partial(kBig - 1000, kBig));
    EXPECT_EQ(plan.resumeFrom, kBig - 1000);
    EXPECT_EQ(plan.expectedTotal, kBig);
    EXPECT_EQ(RangeHeaders(plan), L"Range: bytes=5999999000-\r\nIf-Range: \"v1\"");
    EXPECT_EQ(PlanRequest(Partial(0, kBig)).resumeFrom, 0u) << "nothing to continue";
    EXPECT_EQ(PlanRequest(Partial(kBig + 1, kBig)).resumeFrom, 0u) << "longer than the file";
    EXPECT_EQ(PlanRequest(Partial(10, 100, true, Validator::None)).resumeFrom, 0u) << "no validator";
    EXPECT_EQ(PlanRequest(Partial(10, 100, false)).resumeFrom, 0u) << "no recorded total";
    // A complete partial file is still asked about: the server answers 416 if it is current.
    EXPECT_EQ(PlanRequest(Partial(100, 100)).resumeFrom, 100u);
}

TEST(DecideResponse, NeverAppendsWhatDoesNotContinueTheFileExactly) {
    using A = ResponseAction;
    const RequestPlan fresh, resumed = PlanRequest(Partial(kBig - 1000, kBig)),
                             small = PlanRequest(Partial(500, 1000)), atEnd = PlanRequest(Partial(kBig, kBig)),
                             middle = PlanRequest(Partial(100, kBig));
    const wchar_t* const tail = L"bytes 5999999000-5999999999/6000000000";
    const struct {
        const RequestPlan& plan;
        int status;
        const wchar_t *length, *range;
        ResponseAction action;
        uint64_t offset, total;
    } cases[] = {
        {fresh, 200, L"6000000000", nullptr, A::WriteFromZero, 0, kBig},
        {fresh, 200, nullptr, nullptr, A::Fail, 0, 0},  // no length: a cut looks like an end
        // The file changed (If-Range failed) or Range was ignored: start again, never append.
        {small, 200, L"1200", nullptr, A::WriteFromZero, 0, 1200},
        {resumed, 206, L"1000", tail, A::ContinueAtOffset, kBig - 1000, kBig},
        {resumed, 206, L"999", tail, A::RequestAgainFromZero, 0, 0},  // length disagrees with the range
        {resumed, 206, nullptr, L"bytes 5999998000-5999999999/6000000000", A::RequestAgainFromZero, 0, 0},
        {resumed, 206, nullptr, L"bytes 5999999000-5999999999/6000000001", A::RequestAgainFromZero, 0, 0},
        {resumed, 206, nullptr, L"bytes 5999999000-5999999999/*", A::RequestAgainFromZero, 0, 0},
        {resumed, 206, nullptr, nullptr, A::RequestAgainFromZero, 0, 0},
        {fresh, 206, L"10", L"bytes 0-9/10", A::Fail, 0, 0},  // a range nobody asked for
        // 416: complete only for the recorded total.
        {atEnd, 416, nullptr, L"bytes */6000000000", A::AlreadyComplete, 0, kBig},
        {atEnd, 416, nullptr, L"bytes */5000", A::RequestAgainFromZero, 0, 0},
        {middle, 416, nullptr, L"bytes */100", A::RequestAgainFromZero, 0, 0},
        {fresh, 416, nullptr, L"bytes */0", A::Fail, 0, 0},
        {fresh, 302, nullptr, nullptr, A::Redirect, 0, 0},
        {fresh, 404, L"10", nullptr, A::Fail, 0, 0},
    };
    for (const auto& c : cases) {
        ResponseFacts facts;
        facts.status = c.status;
        facts.hasContentLength = c.length != nullptr;
        facts.contentLength = c.length ? c.length : L"";
        facts.hasContentRange = c.range != nullptr;
        facts.contentRange = c.range ? c.range : L"";
        const ResponseDecision decision = DecideResponse(c.plan, facts);
        SCOPED_TRACE(testing::Message() << c.status << " " << (c.range ? c.range : L"-") << " after "
                                        << c.plan.resumeFrom);
        EXPECT_EQ(decision.action, c.action);
        if (c.action != A::WriteFromZero && c.action != A::ContinueAtOffset && c.action != A::AlreadyComplete)
            continue;
        if (c.action != A::AlreadyComplete) { EXPECT_EQ(decision.offset, c.offset); }
        EXPECT_EQ(decision.total, c.total);
    }
}
