#include "firmware/tftp_admission.h"

namespace quillane {

bool AdmitTransfer(uint32_t live, uint32_t cap, uint32_t reserved, bool fromReservedClient) {
    const uint32_t open = fromReservedClient ? cap : (cap > reserved ? cap - reserved : 0);
    return live < open;
}

bool RefusalLog::Refused(Clock::time_point now) {
    if (m_linesInWindow < kLinesPerSecond) {
        if (m_linesInWindow++ == 0) m_windowStart = now;
        return true;
    }
    ++m_unwritten;
    return false;
}

std::string RefusalLog::TakeSummary(Clock::time_point now) {
    if (m_linesInWindow == 0 || now - m_windowStart < std::chrono::seconds(1)) return {};
    const unsigned unwritten = m_unwritten;
    m_linesInWindow = 0;
    m_unwritten = 0;
    if (unwritten == 0) return {};
    return std::to_string(unwritten) + " more requests refused";
}

}  // namespace quillane
