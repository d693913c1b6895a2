#include <gtest/gtest.h>

#include "ContentRange.h"
#include "ResumeDecision.h"
#include "Validator.h"

namespace {
const uint64_t BIG_SIZE = 6000000000ull;  // above 4 GiB on purpose

// "first-last/total" with "*" for a missing part, or "refused".
std::wstring Range(const wchar_t* text) {
    ContentRange r;
    if (!ParseContentRange(text, r)) return L"refused";
    return (r.hasRange ? std::to_wstring(r.first) + L"-" + std::to_wstring(r.last) : L"*") + L"/" +
           (r.totalKnown ? std::to_wstring(r.total) : L"*");
}

PartialState Partial(uint64_t size, uint64_t total, bool totalRecorded = true,
                     Validator::Kind kind = Validator::EntityTag) {
    return PartialState{size, totalRecorded, total, Validator{kind, L"\"v1\""}};
}
}  // namespace

TEST(ContentRange, ReadsTheThreeFormsAndRefusesInconsistentOnes) {
    EXPECT_EQ(Range(L"bytes 100-199/200"), L"100-199/200");
    EXPECT_EQ(Range(L"Bytes 0-9/*"), L"0-9/*");
    EXPECT_EQ(Range(L"bytes */6000000000"), L"*/6000000000");
    for (const wchar_t* text : {L"bytes", L"bytes=0-9/10", L"bytes0-9/10", L"items 0-9/10", L"bytes 0-9", L"bytes 9-0/10",
                                L"bytes 0-10/10", L"bytes */*", L"bytes -1-9/10", L"bytes 0 - 9/10", L"bytes 0-9/1x",
                                L"bytes 0-99999999999999999999/*"})
        EXPECT_EQ(Range(text), L"refused") << text;
}

TEST(ChooseValidator, PrefersAStrongEntityTagThenTheDate) {
    const std::wstring date = L"Tue, 01 Aug 2023 10:00:00 GMT";
    EXPECT_EQ(ChooseValidator(L" \"5f1-abc\" ", date).value, L"\"5f1-abc\"");
    EXPECT_EQ(ChooseValidator(L"W/\"5f1-abc\"", date).value, date);  // a weak tag never satisfies If-Range
    // Too long for the state file.
    EXPECT_EQ(ChooseValidator(L"\"" + std::wstring(MAX_VALIDATOR_LENGTH, L'a') + L"\"", L"").kind, Validator::None);
}

TEST(PlanRequest, ResumesOnlyAProvenPartialFile) {
    const RequestPlan plan = PlanRequest(Partial(BIG_SIZE - 1000, BIG_SIZE));
    EXPECT_EQ(plan.expectedTotal, BIG_SIZE);
    EXPECT_EQ(RangeHeaders(plan), L"Range: bytes=5999999000-\r\nIf-Range: \"v1\"");
    EXPECT_EQ(PlanRequest(Partial(0, BIG_SIZE)).resumeFrom, 0u) << "nothing to continue";
    EXPECT_EQ(PlanRequest(Partial(BIG_SIZE + 1, BIG_SIZE)).resumeFrom, 0u) << "longer than the file";
    EXPECT_EQ(PlanRequest(Partial(10, 100, true, Validator::None)).resumeFrom, 0u) << "no validator";
    EXPECT_EQ(PlanRequest(Partial(10, 100, false)).resumeFrom, 0u) << "no recorded total";
    // A complete partial file is still asked about: the server answers 416 if it is current.
    EXPECT_EQ(PlanRequest(Partial(100, 100)).resumeFrom, 100u);
}

TEST(DecideResponse, NeverAppendsWhatDoesNotContinueTheFileExactly) {
    using A = ResponseAction;
    const RequestPlan fresh, resumed = PlanRequest(Partial(BIG_SIZE - 1000, BIG_SIZE)),
                             small = PlanRequest(Partial(500, 1000)), atEnd = PlanRequest(Partial(BIG_SIZE, BIG_SIZE)),
                             middle = PlanRequest(Partial(100, BIG_SIZE));
    const wchar_t* const tail = L"bytes 5999999000-5999999999/6000000000";
    const struct {
        const RequestPlan& plan;
        int status;
        const wchar_t *length, *range;
        ResponseAction action;
        uint64_t offset, total;
    } cases[] = {
        {fresh, 200, L"6000000000", nullptr, A::WriteFromZero, 0, BIG_SIZE},
        {fresh, 200, nullptr, nullptr, A::Fail, 0, 0},  // no length: a cut looks like an end
        // The file changed (If-Range failed) or Range was ignored: start again, never append.
        {small, 200, L"1200", nullptr, A::WriteFromZero, 0, 1200},
        {resumed, 206, L"1000", tail, A::ContinueAtOffset, BIG_SIZE - 1000, BIG_SIZE},
        {resumed, 206, L"999", tail, A::RequestAgainFromZero, 0, 0},  // length disagrees with the range
        {resumed, 206, nullptr, L"bytes 5999998000-5999999999/6000000000", A::RequestAgainFromZero, 0, 0},
        {resumed, 206, nullptr, L"bytes 5999999000-5999999999/6000000001", A::RequestAgainFromZero, 0, 0},
        {resumed, 206, nullptr, L"bytes 5999999000-5999999999/*", A::RequestAgainFromZero, 0, 0},
        {resumed, 206, nullptr, nullptr, A::RequestAgainFromZero, 0, 0},
        {fresh, 206, L"10", L"bytes 0-9/10", A::Fail, 0, 0},  // a range nobody asked for
        // 416: complete only for the recorded total.
        {atEnd, 416, nullptr, L"bytes */6000000000", A::AlreadyComplete, BIG_SIZE, BIG_SIZE},
        {atEnd, 416, nullptr, L"bytes */5000", A::RequestAgainFromZero, 0, 0},
        {middle, 416, nullptr, L"bytes */100", A::RequestAgainFromZero, 0, 0},
        {fresh, 416, nullptr, L"bytes */0", A::Fail, 0, 0},
        {fresh, 302, nullptr, nullptr, A::Redirect, 0, 0},
        {fresh, 404, L"10", nullptr, A::Fail, 0, 0},
    };
    for (const auto& c : cases) {
        const ResponseFacts facts{c.status, c.length != nullptr, c.length ? c.length : L"", c.range != nullptr,
                                  c.range ? c.range : L""};
        const ResponseDecision decision = DecideResponse(c.plan, facts);
        SCOPED_TRACE(testing::Message() << c.status << " " << (c.range ? c.range : L"-") << " after "
                                        << c.plan.resumeFrom);
        EXPECT_EQ(decision.action, c.action);
        if (c.total == 0) continue;  // only a write or a completion has a place and a size
        EXPECT_EQ(decision.offset, c.offset);
        EXPECT_EQ(decision.total, c.total);
    }
}
