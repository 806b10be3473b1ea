#include "support/bounded_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "support/event.h"

using namespace quillane;
using namespace std::chrono_literals;

namespace {

TEST(BoundedThreadTest, StopJoinsAThreadThatEndsWithinItsBound) {
    std::atomic<bool> run{true};
    BoundedThread thread;
    ASSERT_TRUE(thread.Start("worker", [&] {
        while (run.load()) std::this_thread::sleep_for(1ms);
    }));
    EXPECT_FALSE(thread.Start("second", [] {})) << "one thread at a time";
    EXPECT_FALSE(thread.Ended());
    run = false;
    thread.Stop(2000);
    EXPECT_FALSE(thread.Joinable());
    thread.Stop(2000);  // again: nothing left to do
}

// A thread that misses its bound is never left behind: the handler hears of
// it (by default the process ends), and the thread is waited for after all,
// so nothing it uses can go while it runs.
TEST(BoundedThreadTest, AThreadThatMissesItsBoundIsReportedAndNeverLeftRunning) {
    std::vector<std::string> missed;
    Event release;
    BoundedThread::SetMissedBoundHandler([&](const std::string& name) {
        missed.push_back(name);
        release.Set();
    });
    auto used = std::make_unique<int>(1);
    std::atomic<int> seen{0};
    {
        BoundedThread thread;
        ASSERT_TRUE(thread.Start("slow worker", [&] {
            release.Wait();
            std::this_thread::sleep_for(20ms);
            seen = *used;  // would read freed memory if the thread had been let go
        }));
        const auto start = std::chrono::steady_clock::now();
        thread.Stop(50);
        EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
        EXPECT_FALSE(thread.Joinable());
    }
    used.reset();
    BoundedThread::SetMissedBoundHandler(nullptr);
    EXPECT_EQ(missed, std::vector<std::string>{"slow worker"});
    EXPECT_EQ(seen.load(), 1);
}

TEST(BoundedThreadTest, ByDefaultAMissedBoundEndsTheProcess) {
    EXPECT_EXIT(
        {
            Event never;
            BoundedThread thread;
            thread.Start("stuck", [&] { never.Wait(); });
            thread.Stop(10);
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "the stuck thread did not end within 10 ms");
}

TEST(BoundedThreadTest, TheThreadMovesWithItsOwner) {
    BoundedThread first;
    std::atomic<bool> run{true};
    first.Start("moved", [&] {
        while (run.load()) std::this_thread::sleep_for(1ms);
    });
    BoundedThread second = std::move(first);
    EXPECT_FALSE(first.Joinable());
    EXPECT_TRUE(second.Joinable());
    run = false;
    second.Stop(2000);
    EXPECT_FALSE(second.Joinable());
}

}  // namespace
