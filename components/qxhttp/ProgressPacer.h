#pragma once
#include <cstdint>

// Decides when a transfer reports its progress: whenever the thousandths change and at least
// once per interval while data keeps arriving. It is asked only after bytes have arrived, so
// a stalled transfer never reports (the caller's watchdog must see the stall).
class ProgressPacer {
public:
    explicit ProgressPacer(uint64_t intervalMs = 1000) : m_intervalMs(intervalMs) {}

    // `done` of `total` bytes are on hand at `nowMs` (any monotonic clock).
    // Returns true when a report is due and sets `perMille`.
    bool OnBytes(uint64_t done, uint64_t total, uint64_t nowMs, int& perMille);

    // The final report of a completed file: due unless 1000 was already reported.
    bool OnComplete(int& perMille);

    static int PerMille(uint64_t done, uint64_t total);

private:
    uint64_t m_intervalMs;
    bool m_reported = false;
    int m_lastPerMille = 0;
    uint64_t m_lastReportMs = 0;
};
