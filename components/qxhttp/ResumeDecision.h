#pragma once
#include <cstdint>
#include <string>

#include "Validator.h"

// What a previous run left behind: the partial file's size and the state file's record.
struct PartialState {
    uint64_t partialSize = 0;
    bool totalRecorded = false;
    uint64_t recordedTotal = 0;
    Validator validator;
};

// How to ask for the file. resumeFrom 0 means a plain request for the whole file.
struct RequestPlan {
    uint64_t resumeFrom = 0;
    uint64_t expectedTotal = 0;  // the recorded total a resumed answer must name
    std::wstring ifRange;        // validator sent with the Range, empty when not resuming
    // The caller checks the finished file itself (a SHA-256 pin), so a whole-file answer
    // without Content-Length may be taken: a body cut short then fails that check instead.
    bool acceptUnsizedBody = false;
};

// Resume only when the partial file can be proven to belong to a known version: a validator
// and a recorded total, and a partial size that does not exceed the total.
RequestPlan PlanRequest(const PartialState& state);

// The "Range" and "If-Range" request header lines for a plan (CRLF-separated), or empty.
std::wstring RangeHeaders(const RequestPlan& plan);

// The parts of a response that decide what happens to the partial file.
struct ResponseFacts {
    int status = 0;
    bool hasContentLength = false;
    std::wstring contentLength;
    bool hasContentRange = false;
    std::wstring contentRange;
};

enum class ResponseAction {
    WriteFromZero,        // a whole file of known length follows: truncate the partial file first
    ContinueAtOffset,     // the rest follows and continues the partial file exactly
    AlreadyComplete,      // nothing is missing: the partial file holds the whole file
    RequestAgainFromZero, // the answer does not fit the partial file: ask for the whole file
    Redirect,             // 3xx: the caller follows Location under its own rules
    Fail,
};

struct ResponseDecision {
    ResponseAction action = ResponseAction::Fail;
    uint64_t offset = 0;  // where the body starts in the file
    uint64_t total = 0;   // the file's whole size
    bool totalKnown = true;  // false only for an accepted whole-file answer without length
};

bool IsRedirectStatus(int status);

// Decides from the status and the length headers, never trusting a body that would not
// continue the partial file byte for byte. A whole-file answer without Content-Length fails
// unless the plan accepts it: its end cannot be told from a cut (WinHTTP under Wine even
// reports a chunked body that was cut short as complete), and a package cut short must never
// count as fetched without a check of its content.
ResponseDecision DecideResponse(const RequestPlan& plan, const ResponseFacts& facts);
