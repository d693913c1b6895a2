#include "ProgressPacer.h"

#include <limits>

int ProgressPacer::PerMille(uint64_t done, uint64_t total) {
    if (total == 0 || done >= total) return 1000;
    // done * 1000 could overflow for totals near the 64-bit limit; split the product.
    const uint64_t whole = done / total;  // 0 here
    const uint64_t remainder = done % total;
    uint64_t fraction;
    if (remainder <= std::numeric_limits<uint64_t>::max() / 1000) {
        fraction = remainder * 1000 / total;
    } else {
        fraction = remainder / (total / 1000);
        if (fraction > 999) fraction = 999;
    }
    return static_cast<int>(whole * 1000 + fraction);
}

bool ProgressPacer::OnBytes(uint64_t done, uint64_t total, uint64_t nowMs, int& perMille) {
    const int value = PerMille(done, total);
    const bool due = !m_reported || value != m_lastPerMille || nowMs - m_lastReportMs >= m_intervalMs;
    if (!due) return false;
    m_reported = true;
    m_lastPerMille = value;
    m_lastReportMs = nowMs;
    perMille = value;
    return true;
}

bool ProgressPacer::OnComplete(int& perMille) {
    if (m_reported && m_lastPerMille == 1000) return false;
    m_reported = true;
    m_lastPerMille = 1000;
    perMille = 1000;
    return true;
}
