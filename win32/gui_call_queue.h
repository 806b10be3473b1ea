#pragma once

// Carries view calls from worker threads to the window's thread. A worker
// appends its call and, when the queue was idle, posts one private message to
// the window; it never waits for the window. The window's thread runs the
// calls in the order they were made, one at a time, so a call that opens a
// modal loop (a message box) lets the calls behind it run from that loop, still
// in order.

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace win32 {

class GuiCallQueue {
public:
    // The private message the window hands to Run().
    static constexpr UINT kRunMessage = WM_APP + 1;

    // GUI thread: the window that runs the calls; null ends the queue (calls
    // made after that are dropped: the window has gone).
    void SetWindow(HWND window);
    bool OnGuiThread() const;

    // Any thread.
    void Post(std::function<void()> call);
    // GUI thread: runs every call queued so far and any queued meanwhile.
    void Run();

private:
    mutable std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
    HWND m_window = nullptr;
    DWORD m_guiThread = 0;
    bool m_messagePosted = false;
};

}  // namespace win32
