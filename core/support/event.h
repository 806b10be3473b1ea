#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quillane {

// Auto-reset event: Set wakes one waiter (or the next one to wait), and a
// successful Wait resets it.
class Event {
public:
    explicit Event(bool signalled = false) : m_signalled(signalled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Waits at most timeoutMs; true when the event was signalled (and is now reset).
    bool Wait(uint32_t timeoutMs);
    // Waits without limit.
    void Wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
};

}  // namespace quillane
