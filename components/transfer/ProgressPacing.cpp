#include "ProgressPacing.h"

int PerMille(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || done >= total) return 1000;
    // done < total, so the quotient is below 1000 in both branches.
    if (total <= UINT64_MAX / 1000) return static_cast<int>(done * 1000 / total);
    return static_cast<int>(done / (total / 1000 + 1));
}

bool ProgressPacer::ShouldReport(int perMille, std::uint64_t nowMs) {
    const bool clockBack = nowMs < m_lastReportMs;
    const std::uint64_t sinceLast = clockBack ? 0 : nowMs - m_lastReportMs;
    const bool changed = perMille != m_lastPerMille;
    const bool due = !m_reported || clockBack || sinceLast >= m_intervalMs ||
                     (changed && (perMille >= 1000 || sinceLast >= m_spacingMs));
    if (due) {
        Reported(perMille, nowMs);
    } else if (changed) {
        m_held = true;
        m_heldPerMille = perMille;
    }
    return due;
}

bool ProgressPacer::ShouldReportCompletion() {
    if (m_reported && m_lastPerMille == 1000) return false;
    m_reported = true;
    m_lastPerMille = 1000;
    m_held = false;
    return true;
}

std::uint64_t ProgressPacer::HeldChangeDueInMs(std::uint64_t nowMs) const {
    if (nowMs < m_lastReportMs) return 0;
    const std::uint64_t sinceLast = nowMs - m_lastReportMs;
    return sinceLast >= m_spacingMs ? 0 : m_spacingMs - sinceLast;
}

int ProgressPacer::TakeHeldChange(std::uint64_t nowMs) {
    const int perMille = m_heldPerMille;
    Reported(perMille, nowMs);
    return perMille;
}

void ProgressPacer::Reported(int perMille, std::uint64_t nowMs) {
    m_reported = true;
    m_lastPerMille = perMille;
    m_lastReportMs = nowMs;
    m_held = false;
}
