#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/event.h"
#include "support/exe_dir.h"
#include "support/locks.h"
#include "support/tick_clock.h"

using namespace quillane;

TEST(Locks, LocalMutexIsReentrantAndTryLockFailsAcrossThreads) {
    LocalMutex mutex;
    {
        AutoLock outer(&mutex);
        AutoLock inner(&mutex);  // same thread: must not deadlock
        int fromOtherThread = -1;
        std::thread([&] { fromOtherThread = mutex.TryLock(); }).join();
        EXPECT_EQ(fromOtherThread, 0);
    }
    int afterRelease = -1;
    std::thread([&] {
        afterRelease = mutex.TryLock();
        if (afterRelease) mutex.Unlock();
    }).join();
    EXPECT_NE(afterRelease, 0);
}

TEST(Event, AutoResetsAndTimesOut) {
    Event event;
    EXPECT_FALSE(event.Wait(10));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0)) << "a successful wait resets the event";
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(0));

    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.Set();
    });
    EXPECT_TRUE(event.Wait(5000));
    setter.join();
}

TEST(TickClock, ManualClockWrapsAndCountsSleeps) {
    TickClock::UseManual(0xFFFFFF00u);
    TickClock::Advance(0x200);
    EXPECT_EQ(GetTickCount(), 0x100u) << "32-bit wrap-around";
    TickClock::Sleep(10);
    TickClock::Sleep(10);
    EXPECT_EQ(TickClock::SleepCount(), 2u);
    EXPECT_EQ(GetTickCount(), 0x100u + 20);
    TickClock::UseReal();
    const uint32_t a = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    EXPECT_GE(static_cast<uint32_t>(GetTickCount() - a), 10u);
}

TEST(ExecutableFolder, SettingsFilePathJoinsWithOneSeparator) {
    EXPECT_EQ(SettingsFilePath("/opt/q/", "Quillane.ini"), "/opt/q/Quillane.ini");
    EXPECT_EQ(SettingsFilePath("/opt/q", "Quillane.ini"), std::string("/opt/q") + kPathSeparator + "Quillane.ini");
    EXPECT_EQ(SettingsFilePath("", "Quillane.ini"), "Quillane.ini");
}
