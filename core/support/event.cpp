#include "support/event.h"

#include <chrono>

namespace quillane {

void Event::Set() {
    {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
    }
    m_cv.notify_one();
}

void Event::Reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_signalled; }))
        return false;
    m_signalled = false;
    return true;
}

void Event::Wait() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_signalled; });
    m_signalled = false;
}

}  // namespace quillane
