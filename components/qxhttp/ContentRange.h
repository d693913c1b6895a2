#pragma once
#include <cstdint>
#include <string>

// A Content-Range header value: "bytes first-last/total", "bytes first-last/*" (206)
// or "bytes */total" (416).
struct ContentRange {
    bool hasRange = false;   // false for the "*/total" form
    uint64_t first = 0;
    uint64_t last = 0;       // inclusive
    bool totalKnown = false;
    uint64_t total = 0;
};

// Parses a value strictly; anything malformed (or first > last, last >= total) is refused,
// because a range we misread could splice foreign bytes into the partial file.
bool ParseContentRange(const std::wstring& text, ContentRange& range);
