#include "link/tftp_admission.h"

namespace quillane {

bool AdmitTransfer(uint32_t live, uint32_t cap, uint32_t reserved, bool fromReservedClient) {
    const uint32_t open = fromReservedClient ? cap : (cap > reserved ? cap - reserved : 0);
    return live < open;
}

void ClientTransfers::Add(uint32_t address) {
    std::lock_guard lock(m_lock);
    ++m_count[address];
}

void ClientTransfers::Remove(uint32_t address) {
    std::lock_guard lock(m_lock);
    const auto it = m_count.find(address);
    if (it != m_count.end() && --it->second == 0) m_count.erase(it);
}

uint32_t ClientTransfers::Of(uint32_t address) const {
    std::lock_guard lock(m_lock);
    const auto it = m_count.find(address);
    return it == m_count.end() ? 0 : it->second;
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
