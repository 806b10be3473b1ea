#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/event.h"
#include "support/exe_dir.h"
#include "support/locks.h"
#include "support/narrow_text.h"
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

TEST(NarrowText, ConvertsToUtf8WithLengthAndTerminator) {
    struct Case {
        std::wstring wide;
        std::string narrow;
    };
    const Case cases[] = {
        {L"", ""},
        {L"192.168.1.10", "192.168.1.10"},
        {L"\u5347\u7EA7\u4E2D...", "\xE5\x8D\x87\xE7\xBA\xA7\xE4\xB8\xAD..."},  // 升级中...
        {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},                       // embedded zero kept
    };
    for (const Case& c : cases) {
        NarrowText n = ToNarrow(c.wide);
        ASSERT_NE(n.text, nullptr);
        EXPECT_EQ(n.length, static_cast<int32_t>(c.narrow.size()));
        EXPECT_EQ(std::string(n.text, n.length), c.narrow);
        EXPECT_EQ(n.text[n.length], '\0');
    }
}

TEST(NarrowText, NullPointerConvertsAsEmptyAndFreeIsIdempotent) {
    NarrowText fromNull = ToNarrowZ(nullptr);
    NarrowText fromEmpty = ToNarrowZ(L"");
    EXPECT_EQ(fromNull.length, 0);
    ASSERT_NE(fromNull.text, nullptr);
    EXPECT_EQ(fromNull.text[0], '\0');
    EXPECT_EQ(fromNull.str(), fromEmpty.str());
    FreeNarrow(fromNull);
    FreeNarrow(fromNull);
    EXPECT_EQ(fromNull.text, nullptr);
    EXPECT_EQ(fromNull.length, 0);
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
    EXPECT_EQ(SettingsFilePath("/opt/q", "Quillane.ini"), "/opt/q/Quillane.ini");
    EXPECT_EQ(SettingsFilePath("", "Quillane.ini"), "Quillane.ini");
}
