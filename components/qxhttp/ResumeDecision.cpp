#include "ResumeDecision.h"

#include "ContentRange.h"
#include "HeaderNumber.h"

RequestPlan PlanRequest(const PartialState& state) {
    RequestPlan plan;
    if (state.partialSize == 0 || state.validator.kind == Validator::None || state.validator.value.empty() ||
        !state.totalRecorded || state.partialSize > state.recordedTotal) {
        return plan;
    }
    plan.resumeFrom = state.partialSize;
    plan.expectedTotal = state.recordedTotal;
    plan.ifRange = state.validator.value;
    return plan;
}

std::wstring RangeHeaders(const RequestPlan& plan) {
    if (plan.resumeFrom == 0) return std::wstring();
    return L"Range: bytes=" + FormatUnsigned64(plan.resumeFrom) + L"-\r\nIf-Range: " + plan.ifRange;
}

bool IsRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

namespace {
ResponseDecision Decision(ResponseAction action, uint64_t offset = 0, uint64_t total = 0) {
    ResponseDecision decision;
    decision.action = action;
    decision.offset = offset;
    decision.total = total;
    return decision;
}

ResponseDecision DecideWholeFile(const RequestPlan& plan, const ResponseFacts& facts) {
    if (!facts.hasContentLength && plan.acceptUnsizedBody) {
        ResponseDecision unsized = Decision(ResponseAction::WriteFromZero);
        unsized.totalKnown = false;
        return unsized;
    }
    uint64_t length = 0;
    if (!facts.hasContentLength || !ParseUnsigned64(facts.contentLength, length)) {
        return Decision(ResponseAction::Fail);
    }
    return Decision(ResponseAction::WriteFromZero, 0, length);
}

ResponseDecision DecidePartialContent(const RequestPlan& plan, const ResponseFacts& facts) {
    // A 206 we did not ask for cannot be placed anywhere.
    if (plan.resumeFrom == 0) return Decision(ResponseAction::Fail);
    ContentRange range;
    if (!facts.hasContentRange || !ParseContentRange(facts.contentRange, range) || !range.hasRange ||
        !range.totalKnown) {
        return Decision(ResponseAction::RequestAgainFromZero);
    }
    if (range.first != plan.resumeFrom || range.total != plan.expectedTotal || range.last + 1 != range.total) {
        return Decision(ResponseAction::RequestAgainFromZero);
    }
    if (facts.hasContentLength) {
        uint64_t length = 0;
        if (!ParseUnsigned64(facts.contentLength, length) || length != range.last - range.first + 1) {
            return Decision(ResponseAction::RequestAgainFromZero);
        }
    }
    return Decision(ResponseAction::ContinueAtOffset, range.first, range.total);
}

ResponseDecision DecideUnsatisfiable(const RequestPlan& plan, const ResponseFacts& facts) {
    if (plan.resumeFrom == 0) return Decision(ResponseAction::Fail);
    ContentRange range;
    if (facts.hasContentRange && ParseContentRange(facts.contentRange, range) && !range.hasRange &&
        range.totalKnown && range.total == plan.resumeFrom && range.total == plan.expectedTotal) {
        return Decision(ResponseAction::AlreadyComplete, range.total, range.total);
    }
    return Decision(ResponseAction::RequestAgainFromZero);
}
}  // namespace

ResponseDecision DecideResponse(const RequestPlan& plan, const ResponseFacts& facts) {
    if (IsRedirectStatus(facts.status)) return Decision(ResponseAction::Redirect);
    switch (facts.status) {
    case 200: return DecideWholeFile(plan, facts);
    case 206: return DecidePartialContent(plan, facts);
    case 416: return DecideUnsatisfiable(plan, facts);
    default: return Decision(ResponseAction::Fail);
    }
}
