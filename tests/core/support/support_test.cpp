#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#endif

#include "support/event.h"
#include "support/exe_dir.h"
#include "support/locks.h"
#include "support/stop_signals.h"
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

#ifndef _WIN32
namespace {

bool WokenWithin(int descriptor, int timeoutMs) {
    pollfd wake{};
    wake.fd = descriptor;
    wake.events = POLLIN;
    return poll(&wake, 1, timeoutMs) == 1;
}

// Runs in a death test's child: ends by SIGINT, the second signal.
void FirstSignalWakesSecondEnds() {
    const int descriptor = InstallStopSignals();
    if (descriptor < 0 || InstallStopSignals() != descriptor) _exit(2);
    raise(SIGTERM);
    if (!WokenWithin(descriptor, 2000)) _exit(3);
    if (TakeStopSignal() != SIGTERM || WokenWithin(descriptor, 0)) _exit(4);
    raise(SIGINT);  // while the orderly stop would run
    _exit(5);
}

// Runs in a death test's child: exits 0 when an ignored SIGHUP stayed ignored.
void IgnoredSignalStaysIgnored() {
    signal(SIGHUP, SIG_IGN);  // as nohup starts a program
    const int descriptor = InstallStopSignals();
    raise(SIGHUP);
    if (WokenWithin(descriptor, 200) || TakeStopSignal() != 0) _exit(3);
    raise(SIGHUP);
    raise(SIGTERM);
    if (!WokenWithin(descriptor, 2000) || TakeStopSignal() != SIGTERM) _exit(4);
    _exit(0);
}

}  // namespace

// Each case runs in a child process of its own: the handlers are process-wide.
TEST(StopSignalsDeathTest, TheFirstSignalWakesTheDescriptorASecondEndsTheProcessAtOnce) {
    EXPECT_EXIT(FirstSignalWakesSecondEnds(), ::testing::KilledBySignal(SIGINT), "");
}

TEST(StopSignalsDeathTest, ASignalIgnoredAtStartStaysIgnored) {
    EXPECT_EXIT(IgnoredSignalStaysIgnored(), ::testing::ExitedWithCode(0), "");
}
#endif

TEST(ExecutableFolder, SettingsFilePathJoinsWithOneSeparator) {
    EXPECT_EQ(SettingsFilePath("/opt/q/", "Quillane.ini"), "/opt/q/Quillane.ini");
    EXPECT_EQ(SettingsFilePath("/opt/q", "Quillane.ini"),
              std::string("/opt/q") + kPathSeparator + "Quillane.ini");
    EXPECT_EQ(SettingsFilePath("", "Quillane.ini"), "Quillane.ini");
}
