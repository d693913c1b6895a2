#include "win32/TransferParts.h"

#include <windows.h>

namespace qxftp {

bool FirstLineSink::Accept(const char* data, size_t size, Failure&) {
    for (size_t i = 0; i < size && !m_done; ++i) {
        if (data[i] == '\n') {
            EndLine();
        } else if (m_line.size() > m_maxLength) {
            // Room is kept for one character more than allowed: a CR before the LF.
            m_tooLong = true;
            m_done = true;
        } else {
            m_line.push_back(data[i]);
        }
    }
    return true;
}

void FirstLineSink::EndLine() {
    if (m_done) return;
    if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
    m_tooLong = m_line.size() > m_maxLength;
    m_done = true;
}

bool TransferProgress::OnBytes(std::uint64_t done) {
    if (m_callback == nullptr) return true;
    const int perMille = PerMille(done, m_total);
    if (!m_pacer.ShouldReport(perMille, GetTickCount64())) return true;
    return m_callback(perMille, m_context) != 0;
}

DWORD TransferProgress::MsUntilHeldReport() const {
    if (m_callback == nullptr || !m_pacer.HasHeldChange()) return INFINITE;
    // The spacing is far below INFINITE, so the narrowing is exact.
    return static_cast<DWORD>(m_pacer.HeldChangeDueInMs(GetTickCount64()));
}

bool TransferProgress::ReportHeld() {
    if (m_callback == nullptr || !m_pacer.HasHeldChange()) return true;
    return m_callback(m_pacer.TakeHeldChange(GetTickCount64()), m_context) != 0;
}

}  // namespace qxftp
