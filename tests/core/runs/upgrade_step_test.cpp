#include "runs/upgrade_step.h"

#include "model/control_ids.h"
#include "model/texts.h"
#include "testing/upgrade_run_fixture.h"

using namespace quillane;
using namespace quillane::test;

namespace {

using UpgradeStepTest = UpgradeRunFixture;

TEST_F(UpgradeStepTest, ADeviceSilentForMoreThanTenSecondsFailsAndTheNextStarts) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    RunningOn(0);
    TickClock::Advance(10000);
    UpgradeStep(station);
    EXPECT_EQ(State(0), "Upgrade...") << "exactly 10000 ms of silence is not yet too long";
    EXPECT_TRUE(devices.Received(1).empty());

    TickClock::Advance(1);
    view.progress = 55;
    UpgradeStep(station);
    EXPECT_EQ(State(0), "失败");
    EXPECT_EQ(State(1), "Upgrade...");
    EXPECT_EQ(CurrentRow(), 1);
    EXPECT_EQ(station.m_DeviceList.RowStateOf(0), RowState::Failed(FailureReason::kUpgradeTimedOut));
    EXPECT_EQ(station.m_DeviceList.RowStateOf(1), RowState::Upgrading());
    EXPECT_EQ(devices.Received(1), kThreeUpgradeCommands);
    EXPECT_EQ(view.progress.load(), 0);
    EXPECT_EQ(station.m_dwUpgradeTick.load(), TickClock::Now()) << "the new device gets its ten seconds";
    EXPECT_EQ(station.m_bUpgrading.load(), 1);
}

// Silence is counted on the 32-bit tick counter across its wrap past zero:
// a device begun just before the wrap gets its full ten seconds, no more.
TEST_F(UpgradeStepTest, SilenceIsCountedFromTheLastStampAcrossTheClockWrap) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    TickClock::Set(0xFFFFF000u);
    RunningOn(0);
    TickClock::Set(0x00000100u);  // wrapped: now is below the stamp
    UpgradeStep(station);
    EXPECT_EQ(State(0), "Upgrade...");
    TickClock::Set(0xFFFFF000u + 10000);
    UpgradeStep(station);
    EXPECT_EQ(State(0), "Upgrade...");
    TickClock::Advance(1);
    UpgradeStep(station);
    EXPECT_EQ(State(0), "失败");
}

// The next-device rule, in both languages: rows not chosen are passed over,
// chosen rows outside the workstation's subnets get the no-segment text and
// never a command, and the walk never goes back above the current row.
TEST_F(UpgradeStepTest, TheNextDeviceIsTheNextChosenOneInTheSubnet) {
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        station.m_DeviceList.DeleteAllRows();
        station.m_nLanguage = language;
        AddRows({{"127.0.0.2"},
                 {"127.0.0.3"},
                 {"127.0.0.4", "255.255.255.0", false},
                 {"127.0.1.5"},
                 {"127.0.0.4"}});
        RunningOn(1);
        TickClock::Advance(10001);
        UpgradeStep(station);
        const TextTable& t = Texts(language);
        EXPECT_EQ(State(0), "") << "a chosen row above the current one is never revisited";
        EXPECT_EQ(State(1), t.stateUpgradeFailed);
        EXPECT_EQ(State(2), "") << "not chosen";
        EXPECT_EQ(State(3), t.stateNoSegment);
        EXPECT_EQ(State(4), t.stateUpgrading);
        EXPECT_EQ(CurrentRow(), 4);
        EXPECT_TRUE(devices.Received(0).empty());
        EXPECT_TRUE(devices.Received(3).empty()) << "nothing for a device outside the subnet";
        EXPECT_EQ(devices.Received(2), kThreeUpgradeCommands);
    }
}

// The run ends when no device is left, when the operator asked to stop, or
// when the command loop is ending; the controls come back each time.
TEST_F(UpgradeStepTest, TheRunEndsAtTheTimeOutOfItsLastDeviceOrAfterAStopRequest) {
    struct Case {
        const char* what;
        int stopAsked, loopRuns;
        const char* secondRow;
    };
    const Case cases[] = {
        {"last device", 0, 1, "127.0.1.5"},
        {"stop asked", 1, 1, "127.0.0.3"},
        {"loop ending", 0, 0, "127.0.0.3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        station.m_DeviceList.DeleteAllRows();
        AddRows({{"127.0.0.2"}, {c.secondRow}});
        RunningOn(0);
        station.m_bUpgradeContinue = c.stopAsked ? 0 : 1;
        station.m_bLoopRun = c.loopRuns;
        view.captions[kIdUpgrade] = "Stop";
        station.SetUpgradeRequest(UpgradeRequest{"", true});  // a range search was chosen at the press
        for (int id : {kIdStartIP, kIdFind, kIdOpen, kIdModifyIP, kIdCancel, 1028, 1046})
            view.enabled_[id] = false;
        const int ends = RunsEnded();
        TickClock::Advance(10001);
        UpgradeStep(station);
        EXPECT_EQ(State(0), "失败");
        EXPECT_TRUE(RunEnded());
        EXPECT_EQ(RunsEnded(), ends + 1) << "the end is told";
        EXPECT_EQ(view.captions[kIdUpgrade], "Upgrade");
        for (int id : {kIdStartIP, kIdFind, kIdOpen, kIdModifyIP, kIdCancel, 1028, 1046})
            EXPECT_TRUE(view.Enabled(id)) << id;
        EXPECT_EQ(station.m_DeviceList.m_bSortEnabled.load(), 1);
        EXPECT_EQ(view.progress.load(), 0);
        EXPECT_TRUE(devices.Received(1).empty());
        station.m_bLoopRun = 1;
    }
    station.SetUpgradeRequest(UpgradeRequest{"", false});  // automatic search: the range stays locked
    station.m_DeviceList.DeleteAllRows();
    AddRows({{"127.0.0.2"}});
    RunningOn(0);
    TickClock::Advance(10001);
    UpgradeStep(station);
    EXPECT_FALSE(view.Enabled(kIdStartIP));
    EXPECT_FALSE(view.Enabled(kIdEndIP));
}

TEST_F(UpgradeStepTest, WithoutATftpServerTheRunEndsUnmarked) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    RunningOn(0);
    station.m_pTftpServer.reset();
    TickClock::Advance(10001);
    UpgradeStep(station);
    EXPECT_TRUE(RunEnded());
    EXPECT_EQ(State(0), "Upgrade...");
    EXPECT_TRUE(devices.Received(1).empty());
}

// The loop sleeps until the current device could first time out: no spinning,
// and the time-out is seen at once.
TEST_F(UpgradeStepTest, TheLoopWaitsExactlyUntilATimeOutIsPossible) {
    EXPECT_EQ(UpgradeStepWaitMs(station, 1000), 1000u)
        << "no device begun yet: the start event wakes the loop";
    AddRows({{"127.0.0.2"}});
    RunningOn(0);
    EXPECT_EQ(UpgradeStepWaitMs(station, 1000), 1000u);
    TickClock::Advance(9500);
    EXPECT_EQ(UpgradeStepWaitMs(station, 1000), 501u);
    TickClock::Advance(501);
    EXPECT_EQ(UpgradeStepWaitMs(station, 1000), 1u);
}

}  // namespace
