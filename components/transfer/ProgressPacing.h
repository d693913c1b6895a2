#pragma once
#include <cstdint>

// How both transfer libraries pace their progress reports.

// Progress in thousandths of the whole (0..1000); a total of 0 counts as done. Exact for any
// 64-bit sizes (no overflow of done * 1000).
int PerMille(std::uint64_t done, std::uint64_t total);

// Decides when a transfer reports progress. It is asked only after bytes arrived, so a stalled
// transfer never reports (the caller's watchdog must see the stall). It reports the first time,
// whenever the per-mille value changes, and at least once per interval while bytes keep coming.
class ProgressPacer {
public:
    explicit ProgressPacer(std::uint64_t intervalMs = 1000) : m_intervalMs(intervalMs) {}

    bool ShouldReport(int perMille, std::uint64_t nowMs);
    // The final report of a whole file (1000): due unless 1000 was the last one reported.
    bool ShouldReportCompletion();

private:
    std::uint64_t m_intervalMs;
    bool m_reported = false;
    int m_lastPerMille = 0;
    std::uint64_t m_lastReportMs = 0;
};
