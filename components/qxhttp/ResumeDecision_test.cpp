#include <gtest/gtest.h>

#include "ResumeDecision.h"

namespace {
PartialState Partial(uint64_t size, uint64_t total, const wchar_t* etag) {
    PartialState state;
    state.partialSize = size;
    state.totalRecorded = true;
    state.recordedTotal = total;
    state.validator.kind = Validator::EntityTag;
    state.validator.value = etag;
    return state;
}

ResponseFacts Facts(int status, const wchar_t* length = nullptr, const wchar_t* range = nullptr) {
    ResponseFacts facts;
    facts.status = status;
    if (length) {
        facts.hasContentLength = true;
        facts.contentLength = length;
    }
    if (range) {
        facts.hasContentRange = true;
        facts.contentRange = range;
    }
    return facts;
}

const uint64_t kBig = 6000000000ull;  // above 4 GiB on purpose
}  // namespace

TEST(PlanRequest, ResumesOnlyAProvenPartialFile) {
    const RequestPlan plan = PlanRequest(Partial(kBig - 1000, kBig, L"\"v1\""));
    EXPECT_EQ(plan.resumeFrom, kBig - 1000);
    EXPECT_EQ(plan.expectedTotal, kBig);
    EXPECT_EQ(RangeHeaders(plan), L"Range: bytes=5999999000-\r\nIf-Range: \"v1\"");

    EXPECT_EQ(PlanRequest(Partial(0, kBig, L"\"v1\"")).resumeFrom, 0u) << "nothing to continue";
    EXPECT_EQ(PlanRequest(Partial(kBig + 1, kBig, L"\"v1\"")).resumeFrom, 0u) << "longer than the file";
    PartialState noValidator = Partial(10, 100, L"");
    noValidator.validator.kind = Validator::None;
    EXPECT_EQ(PlanRequest(noValidator).resumeFrom, 0u);
    PartialState noTotal = Partial(10, 100, L"\"v1\"");
    noTotal.totalRecorded = false;
    EXPECT_EQ(PlanRequest(noTotal).resumeFrom, 0u);
    EXPECT_EQ(RangeHeaders(RequestPlan()), L"");

    // A complete partial file is still asked about: the server answers 416 if it is current.
    EXPECT_EQ(PlanRequest(Partial(100, 100, L"\"v1\"")).resumeFrom, 100u);
}

TEST(DecideResponse, WholeFileAnswersStartFromZero) {
    const RequestPlan fresh;
    ResponseDecision decision = DecideResponse(fresh, Facts(200, L"6000000000"));
    EXPECT_EQ(decision.action, ResponseAction::WriteFromZero);
    EXPECT_EQ(decision.total, kBig);

    EXPECT_EQ(DecideResponse(fresh, Facts(200)).action, ResponseAction::Fail) << "no length: a cut looks like an end";
    EXPECT_EQ(DecideResponse(fresh, Facts(200, L"12x")).action, ResponseAction::Fail);

    // The file changed (If-Range failed) or the server ignores Range: start again, never append.
    const RequestPlan resumed = PlanRequest(Partial(500, 1000, L"\"v1\""));
    decision = DecideResponse(resumed, Facts(200, L"1200"));
    EXPECT_EQ(decision.action, ResponseAction::WriteFromZero);
    EXPECT_EQ(decision.offset, 0u);
    EXPECT_EQ(decision.total, 1200u);
}

TEST(DecideResponse, PartialContentMustContinueTheFileExactly) {
    const RequestPlan resumed = PlanRequest(Partial(kBig - 1000, kBig, L"\"v1\""));
    ResponseDecision decision =
        DecideResponse(resumed, Facts(206, L"1000", L"bytes 5999999000-5999999999/6000000000"));
    EXPECT_EQ(decision.action, ResponseAction::ContinueAtOffset);
    EXPECT_EQ(decision.offset, kBig - 1000);
    EXPECT_EQ(decision.total, kBig);
    EXPECT_EQ(DecideResponse(resumed, Facts(206, nullptr, L"bytes 5999999000-5999999999/6000000000")).action,
              ResponseAction::ContinueAtOffset);

    for (const wchar_t* range : {L"bytes 5999998000-5999999999/6000000000",  // another start
                                 L"bytes 5999999000-5999999999/6000000001",  // another total
                                 L"bytes 5999999000-5999999998/6000000000",  // stops short
                                 L"bytes 5999999000-5999999999/*",           // total unknown
                                 L"bytes */6000000000", L"garbage"}) {
        EXPECT_EQ(DecideResponse(resumed, Facts(206, nullptr, range)).action, ResponseAction::RequestAgainFromZero)
            << range;
    }
    EXPECT_EQ(DecideResponse(resumed, Facts(206)).action, ResponseAction::RequestAgainFromZero);
    EXPECT_EQ(DecideResponse(resumed, Facts(206, L"999", L"bytes 5999999000-5999999999/6000000000")).action,
              ResponseAction::RequestAgainFromZero)
        << "length disagrees with the range";
    EXPECT_EQ(DecideResponse(RequestPlan(), Facts(206, L"10", L"bytes 0-9/10")).action, ResponseAction::Fail)
        << "a range nobody asked for";
}

TEST(DecideResponse, UnsatisfiableRangeMeansCompleteOnlyForTheSameTotal) {
    const RequestPlan atEnd = PlanRequest(Partial(kBig, kBig, L"\"v1\""));
    const ResponseDecision decision = DecideResponse(atEnd, Facts(416, nullptr, L"bytes */6000000000"));
    EXPECT_EQ(decision.action, ResponseAction::AlreadyComplete);
    EXPECT_EQ(decision.total, kBig);

    EXPECT_EQ(DecideResponse(atEnd, Facts(416, nullptr, L"bytes */5000")).action,
              ResponseAction::RequestAgainFromZero);
    EXPECT_EQ(DecideResponse(atEnd, Facts(416)).action, ResponseAction::RequestAgainFromZero);
    const RequestPlan middle = PlanRequest(Partial(100, kBig, L"\"v1\""));
    EXPECT_EQ(DecideResponse(middle, Facts(416, nullptr, L"bytes */100")).action,
              ResponseAction::RequestAgainFromZero)
        << "total equals the partial size but not the recorded total";
    EXPECT_EQ(DecideResponse(RequestPlan(), Facts(416, nullptr, L"bytes */0")).action, ResponseAction::Fail);
}

TEST(DecideResponse, RedirectsAndErrors) {
    for (int status : {301, 302, 303, 307, 308}) {
        EXPECT_EQ(DecideResponse(RequestPlan(), Facts(status)).action, ResponseAction::Redirect) << status;
    }
    for (int status : {204, 300, 304, 305, 401, 403, 404, 407, 500, 503}) {
        EXPECT_EQ(DecideResponse(RequestPlan(), Facts(status, L"10")).action, ResponseAction::Fail) << status;
    }
}
