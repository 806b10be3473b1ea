#include "support/gui_call_queue.h"

#include <utility>

namespace quillane {

void GuiCallQueue::Attach(WakeUp wakeUp) {
    std::lock_guard lock(m_mutex);
    m_wakeUp = std::move(wakeUp);
    m_guiThread = std::this_thread::get_id();
    m_wakePending = false;
}

void GuiCallQueue::Detach() {
    std::deque<std::function<void()>> dropped;
    WakeUp wakeUp;
    {
        std::lock_guard lock(m_mutex);
        wakeUp.swap(m_wakeUp);
        dropped.swap(m_calls);
        m_wakePending = false;
    }
    // Destroyed outside the lock: a call's captures may be anything.
}

bool GuiCallQueue::OnGuiThread() const {
    std::lock_guard lock(m_mutex);
    return m_guiThread == std::this_thread::get_id();
}

void GuiCallQueue::Post(std::function<void()> call) {
    WakeUp wakeUp;
    {
        std::lock_guard lock(m_mutex);
        if (!m_wakeUp) return;
        m_calls.push_back(std::move(call));
        if (m_wakePending) return;
        m_wakePending = true;
        wakeUp = m_wakeUp;
    }
    // Outside the lock: the hook never waits for the window's thread, but it
    // may take the toolkit's own lock.
    if (!wakeUp()) {
        std::lock_guard lock(m_mutex);
        m_wakePending = false;  // the next call tries again
    }
}

void GuiCallQueue::Run() {
    while (true) {
        std::function<void()> call;
        {
            std::lock_guard lock(m_mutex);
            m_wakePending = false;
            if (m_calls.empty()) return;
            call = std::move(m_calls.front());
            m_calls.pop_front();
        }
        call();
    }
}

void GuiCallQueue::Call(std::function<void()> call) {
    if (OnGuiThread()) {
        Run();
        call();
    } else {
        Post(std::move(call));
    }
}

}  // namespace quillane
