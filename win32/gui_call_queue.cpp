#include "gui_call_queue.h"

namespace win32 {

void GuiCallQueue::SetWindow(HWND window) {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_window = window;
        m_guiThread = GetCurrentThreadId();
        m_messagePosted = false;
        if (!window) dropped.swap(m_calls);
    }
    // Destroyed outside the lock: a call's captures may be anything.
}

bool GuiCallQueue::OnGuiThread() const {
    std::lock_guard lock(m_mutex);
    return m_guiThread == GetCurrentThreadId();
}

void GuiCallQueue::Post(std::function<void()> call) {
    HWND notify = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_window) return;
        m_calls.push_back(std::move(call));
        if (!m_messagePosted) {
            m_messagePosted = true;
            notify = m_window;
        }
    }
    // Outside the lock; PostMessage never waits for the window's thread.
    if (notify && !PostMessageW(notify, kRunMessage, 0, 0)) {
        std::lock_guard lock(m_mutex);
        m_messagePosted = false;  // the next call tries again
    }
}

void GuiCallQueue::Run() {
    while (true) {
        std::function<void()> call;
        {
            std::lock_guard lock(m_mutex);
            if (m_calls.empty()) {
                m_messagePosted = false;
                return;
            }
            call = std::move(m_calls.front());
            m_calls.pop_front();
        }
        call();
    }
}

}  // namespace win32
