#pragma once

// A worker thread that its owner stops with a bounded wait. Every worker of
// the tool (endpoint receive threads, the command loop, the TFTP listener and
// transfers) is one of these, held by the object whose members it uses, so a
// thread never runs on after its owner is gone: Stop either joins it within
// the bound or, when it misses the bound, ends the process (a thread left to
// run would touch freed memory; waiting on would break the bound of closing).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace quillane {

class Event;

class BoundedThread {
public:
    BoundedThread();
    ~BoundedThread();  // a thread still running is stopped with kDefaultStopBoundMs
    BoundedThread(BoundedThread&&) noexcept;
    BoundedThread& operator=(BoundedThread&&) noexcept;
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;

    static constexpr uint32_t kDefaultStopBoundMs = 4000;

    // Runs `body` on a new thread. False when no thread could be made, or one
    // is still held (stop it first). `name` appears if it misses its bound.
    bool Start(std::string name, std::function<void()> body);
    bool Joinable() const { return m_thread.joinable(); }
    // True once the body has returned (the thread may still be leaving).
    bool Ended() const;
    // Waits at most `boundMs` for the body to return and joins the thread.
    // The thread must have been told to end before (run flag, event).
    // Called on the thread itself, it lets go of the thread instead.
    void Stop(uint32_t boundMs);
    std::thread::native_handle_type NativeHandle() { return m_thread.native_handle(); }

    // What happens to a thread that misses its bound: by default the process
    // ends at once with a line on standard error. Tests install a handler
    // that records the name; Stop then waits for the thread after all.
    using MissedBoundHandler = std::function<void(const std::string& name)>;
    static void SetMissedBoundHandler(MissedBoundHandler handler);

private:
    struct Shared;
    std::thread m_thread;
    std::shared_ptr<Shared> m_shared;
    std::string m_name;
};

}  // namespace quillane
