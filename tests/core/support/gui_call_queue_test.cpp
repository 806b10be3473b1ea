#include "support/gui_call_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace quillane;

namespace {

// The test thread is the window's thread; a worker thread posts. The
// wake-up hook only counts (a toolkit would post a message or an event).
class GuiCallQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        queue.Attach([this] {
            ++wakeUps;
            return wakeSucceeds;
        });
    }
    void FromWorker(std::function<void()> call) {
        std::thread worker([&] { queue.Call(std::move(call)); });
        worker.join();
    }

    GuiCallQueue queue;
    int wakeUps = 0;
    bool wakeSucceeds = true;
    std::vector<std::string> ran;
};

TEST_F(GuiCallQueueTest, WorkerCallsRunInTheirOrderAfterOneWakeUp) {
    FromWorker([this] { ran.push_back("a"); });
    FromWorker([this] { ran.push_back("b"); });
    EXPECT_TRUE(ran.empty()) << "a worker never runs a view call itself";
    EXPECT_EQ(wakeUps, 1) << "one wake-up is on its way for both";
    queue.Run();
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b"}));
    FromWorker([this] { ran.push_back("c"); });
    EXPECT_EQ(wakeUps, 2);
}

// The window ends in the state of the last call made: a call on the window's
// thread first runs what workers queued before it.
TEST_F(GuiCallQueueTest, ACallOnTheWindowsThreadRunsTheQueuedOnesFirst) {
    FromWorker([this] { ran.push_back("controls given back"); });
    queue.Call([this] { ran.push_back("controls locked"); });
    EXPECT_EQ(ran, (std::vector<std::string>{"controls given back", "controls locked"}));
}

// A call that opens a modal loop (a message box): calls posted meanwhile wake
// the window again, and that loop runs them in order.
TEST_F(GuiCallQueueTest, CallsPostedDuringAModalCallWakeTheWindowAgain) {
    FromWorker([this] {
        ran.push_back("box opens");
        const int before = wakeUps;
        FromWorker([this] { ran.push_back("behind the box"); });
        EXPECT_EQ(wakeUps, before + 1);
        queue.Run();  // the box's own loop
        ran.push_back("box closes");
    });
    queue.Run();
    EXPECT_EQ(ran, (std::vector<std::string>{"box opens", "behind the box", "box closes"}));
}

TEST_F(GuiCallQueueTest, AFailedWakeUpIsTriedAgainAndAGoneWindowDropsEverything) {
    wakeSucceeds = false;
    FromWorker([this] { ran.push_back("a"); });
    wakeSucceeds = true;
    FromWorker([this] { ran.push_back("b"); });
    EXPECT_EQ(wakeUps, 2);
    queue.Detach();
    FromWorker([this] { ran.push_back("c"); });
    queue.Run();
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(wakeUps, 2);
}

}  // namespace
