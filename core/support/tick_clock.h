#pragma once

#include <cstdint>

namespace quillane {

// The 32-bit millisecond tick count that every time-out is measured with. It
// wraps after about 49.7 days, as the callers expect. Tests replace it with a
// manual clock; the replacement is process-wide.
class TickClock {
public:
    static uint32_t Now();

    // Manual clock for tests: Now() returns the set value until UseReal().
    static void UseManual(uint32_t start);
    static void Set(uint32_t value);
    static void Advance(uint32_t ms);
    static void UseReal();
    static bool IsManual();

    // Pauses the calling thread. Under the manual clock it advances the clock
    // instead of sleeping and counts the call, so paced loops test instantly.
    static void Sleep(uint32_t ms);
    static uint32_t SleepCount();
};

inline uint32_t GetTickCount() {
    return TickClock::Now();
}

}  // namespace quillane
