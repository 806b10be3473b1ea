#pragma once

// Carries view calls from worker threads to the window's thread, in the
// order they were made. A worker appends its call and, unless a wake-up is
// already on its way, asks the toolkit to wake the window's thread (each
// toolkit's own hook: a posted window message, a queued event); it never
// waits for the window. The window's thread runs the calls one at a time. A
// call that opens a modal loop (a message box) lets the calls behind it run
// from that loop, still in order: taking a call renews the right to wake.

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quillane {

class GuiCallQueue {
public:
    // Asks the window's thread to call Run() soon; never waits. False when the
    // request could not be made (the next call tries again).
    using WakeUp = std::function<bool()>;

    // On the window's thread: the queue serves this thread, woken by `wakeUp`.
    void Attach(WakeUp wakeUp);
    // The window has gone: what is queued and what comes later is dropped.
    void Detach();
    bool OnGuiThread() const;

    // Any thread.
    void Post(std::function<void()> call);
    // The window's thread: runs every call queued so far and any queued meanwhile.
    void Run();
    // A view call: on the window's thread what is queued runs first, then the
    // call, so the window always ends in the state of the last call made;
    // from any other thread it is queued.
    void Call(std::function<void()> call);

private:
    mutable std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
    WakeUp m_wakeUp;
    std::thread::id m_guiThread;
    bool m_wakePending = false;
};

}  // namespace quillane
