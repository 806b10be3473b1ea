#include "support/bounded_thread.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include "support/event.h"

namespace quillane {

struct BoundedThread::Shared {
    Event done;  // signalled as the body returns
    std::atomic<bool> ended{false};
};

namespace {

std::mutex g_handlerMutex;
BoundedThread::MissedBoundHandler g_missedBoundHandler;

// Returns when a test handler took the report; never returns otherwise.
void ReportMissedBound(const std::string& name, uint32_t boundMs) {
    BoundedThread::MissedBoundHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_missedBoundHandler;
    }
    if (handler) {
        handler(name);
        return;
    }
    std::fprintf(stderr, "quillane: the %s thread did not end within %u ms; ending the process\n",
                 name.c_str(), static_cast<unsigned>(boundMs));
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

}  // namespace

BoundedThread::BoundedThread() = default;

BoundedThread::~BoundedThread() {
    Stop(kDefaultStopBoundMs);
}

BoundedThread::BoundedThread(BoundedThread&& other) noexcept
    : m_thread(std::move(other.m_thread)),
      m_shared(std::move(other.m_shared)),
      m_name(std::move(other.m_name)) {}

BoundedThread& BoundedThread::operator=(BoundedThread&& other) noexcept {
    if (this != &other) {
        Stop(kDefaultStopBoundMs);
        m_thread = std::move(other.m_thread);
        m_shared = std::move(other.m_shared);
        m_name = std::move(other.m_name);
    }
    return *this;
}

bool BoundedThread::Start(std::string name, std::function<void()> body) {
    if (m_thread.joinable()) return false;
    auto shared = std::make_shared<Shared>();
    try {
        m_thread = std::thread([shared, body = std::move(body)] {
            body();
            shared->ended.store(true);
            shared->done.Set();
        });
    } catch (const std::system_error&) {
        return false;
    }
    m_shared = std::move(shared);
    m_name = std::move(name);
    return true;
}

bool BoundedThread::Ended() const {
    return m_shared && m_shared->ended.load();
}

void BoundedThread::Stop(uint32_t boundMs) {
    if (!m_thread.joinable()) return;
    if (m_thread.get_id() == std::this_thread::get_id()) {
        m_thread.detach();  // the thread is leaving by itself
    } else {
        if (!m_shared->ended.load() && !m_shared->done.Wait(boundMs)) ReportMissedBound(m_name, boundMs);
        m_thread.join();
    }
    m_shared.reset();
}

void BoundedThread::SetMissedBoundHandler(MissedBoundHandler handler) {
    std::lock_guard lock(g_handlerMutex);
    g_missedBoundHandler = std::move(handler);
}

}  // namespace quillane
