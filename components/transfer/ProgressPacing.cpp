#include "ProgressPacing.h"

int PerMille(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || done >= total) return 1000;
    // done < total, so the quotient is below 1000 in both branches.
    if (total <= UINT64_MAX / 1000) return static_cast<int>(done * 1000 / total);
    return static_cast<int>(done / (total / 1000 + 1));
}

bool ProgressPacer::ShouldReport(int perMille, std::uint64_t nowMs) {
    const bool due = !m_reported || perMille != m_lastPerMille || nowMs < m_lastReportMs ||
                     nowMs - m_lastReportMs >= m_intervalMs;
    if (due) {
        m_reported = true;
        m_lastPerMille = perMille;
        m_lastReportMs = nowMs;
    }
    return due;
}

bool ProgressPacer::ShouldReportCompletion() {
    if (m_reported && m_lastPerMille == 1000) return false;
    m_reported = true;
    m_lastPerMille = 1000;
    return true;
}
