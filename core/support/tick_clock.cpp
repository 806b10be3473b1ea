#include "support/tick_clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace quillane {
namespace {
std::atomic<bool> g_manual{false};
std::atomic<uint32_t> g_manualNow{0};
std::atomic<uint32_t> g_sleeps{0};
}  // namespace

uint32_t TickClock::Now() {
    if (g_manual.load(std::memory_order_acquire)) return g_manualNow.load(std::memory_order_acquire);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

void TickClock::UseManual(uint32_t start) {
    g_manualNow.store(start, std::memory_order_release);
    g_sleeps.store(0);
    g_manual.store(true, std::memory_order_release);
}

void TickClock::Set(uint32_t value) {
    g_manualNow.store(value, std::memory_order_release);
}
void TickClock::Advance(uint32_t ms) {
    g_manualNow.fetch_add(ms, std::memory_order_acq_rel);
}
void TickClock::UseReal() {
    g_manual.store(false, std::memory_order_release);
}
bool TickClock::IsManual() {
    return g_manual.load(std::memory_order_acquire);
}

void TickClock::Sleep(uint32_t ms) {
    if (IsManual()) {
        g_sleeps.fetch_add(1);
        Advance(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t TickClock::SleepCount() {
    return g_sleeps.load();
}

}  // namespace quillane
