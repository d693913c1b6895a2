#pragma once
#include <cstdint>

// How both transfer libraries pace their progress reports.

// Progress in thousandths of the whole (0..1000); a total of 0 counts as done. Exact for any
// 64-bit sizes (no overflow of done * 1000).
int PerMille(std::uint64_t done, std::uint64_t total);

// Decides when a transfer reports progress. It is asked only after bytes arrived, so a stalled
// transfer never reports (the caller's watchdog must see the stall). It reports the first time,
// when the per-mille value changes, when the whole (1000) is reached, and at least once per
// interval while bytes keep coming.
//
// With a spacing, a change that comes sooner than the spacing after the last report is held
// back instead. Each report costs the caller's window a few cross-thread messages and a
// repaint, and a fast transfer would otherwise pay for a thousand of them; ten a second already
// look continuous. A transfer that holds changes must show a held one when it falls due even if
// no further byte arrives (see HeldChangeDueInMs), or a pause would freeze the display below
// what arrived.
class ProgressPacer {
public:
    explicit ProgressPacer(std::uint64_t intervalMs = 1000, std::uint64_t spacingMs = 0)
        : m_intervalMs(intervalMs), m_spacingMs(spacingMs) {}

    bool ShouldReport(int perMille, std::uint64_t nowMs);
    // The final report of a whole file (1000): due unless 1000 was the last one reported.
    bool ShouldReportCompletion();

    bool HasHeldChange() const { return m_held; }
    // Milliseconds from nowMs until the held change is due, 0 when it is; only with a held change.
    std::uint64_t HeldChangeDueInMs(std::uint64_t nowMs) const;
    // Takes the held change as reported now and gives its value.
    int TakeHeldChange(std::uint64_t nowMs);

private:
    void Reported(int perMille, std::uint64_t nowMs);

    std::uint64_t m_intervalMs;
    std::uint64_t m_spacingMs;
    bool m_reported = false;
    int m_lastPerMille = 0;
    std::uint64_t m_lastReportMs = 0;
    bool m_held = false;
    int m_heldPerMille = 0;
};
