#include "runs/transfer_callbacks.h"

#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/upgrade_step.h"
#include "testing/upgrade_run_fixture.h"

using namespace quillane;
using namespace quillane::test;

namespace {

TEST(TransferPercentTest, CountsTheBlockAfterTheAcknowledgedOneAndStopsAt100) {
    struct Case {
        uint32_t nextBlock;
        uint32_t fileSize;
        int percent;
    };
    const Case cases[] = {
        {50, 100 * 512, 50},  // block 49 of a file of exactly 100 blocks
        {1, 100 * 512, 1},
        {101, 100 * 512, 100},     // the empty last block
        {10, 9 * 512 + 100, 100},  // nine full blocks and a short tenth...
        {11, 9 * 512 + 100, 100},  // ...end at 100%, not 110%
        {2, 3 * 512, 66},          // truncated, not rounded
        {5, 0, 0},                 // size unknown
        {1, 100, 100},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TransferPercent(c.nextBlock, 512, c.fileSize), c.percent) << c.nextBlock;
    EXPECT_EQ(TransferPercent(3, 0, 1000), 0);
}

// Files of more than 65535 blocks: the count of blocks and the block after the
// acknowledged one are counted past the 16-bit block number, so the
// percentage climbs steadily to the end of any file the server can send.
TEST(TransferPercentTest, FilesOfMoreThan65535BlocksClimbSteadilyTo100) {
    constexpr uint32_t kWrapFile = 65536u * 512u + 100u;  // 65537 blocks of 512
    constexpr uint32_t k33MiB = 33u << 20;                // 67584 blocks of 512
    struct Case {
        uint32_t nextBlock;
        uint16_t blockSize;
        uint32_t fileSize;
        int percent;
    };
    const Case cases[] = {
        {33792, 512, k33MiB, 50},
        {1, 512, k33MiB, 0},
        {65535, 512, kWrapFile, 99},
        {65536, 512, kWrapFile, 99},  // block 65535 acknowledged: the next one is numbered 0 on the wire
        {65537, 512, kWrapFile, 100},
        {65538, 512, kWrapFile, 100},          // the last block acknowledged
        {268435456, 8, UINT32_MAX, 50},        // the largest size, the smallest blocks
        {536870911, 8, UINT32_MAX, 99},        // one block before the end
        {536870913, 8, UINT32_MAX, 100},       // the last one acknowledged
        {UINT32_MAX, 65464, UINT32_MAX, 100},  // never above 100
        {32768, 65464, UINT32_MAX, 49},        // large blocks
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.nextBlock) + " of " + std::to_string(c.fileSize));
        EXPECT_EQ(TransferPercent(c.nextBlock, c.blockSize, c.fileSize), c.percent);
    }
    // Block after block, the percentage never falls back and reaches 100 only at the end.
    int last = 0;
    for (uint32_t next = 1; next <= 65538; ++next) {
        const int percent = TransferPercent(next, 512, kWrapFile);
        ASSERT_GE(percent, last) << next;
        ASSERT_EQ(percent == 100, next >= 65537) << next;
        last = percent;
    }
}

class TransferCallbacksTest : public UpgradeRunFixture {
protected:
    static sockaddr_in Client(const char* address) { return MakeAddress(ParseIPv4(address), 1234); }
    // The transfers tell the station (their observer), which posts each
    // report to the command loop; the loop's turn follows at once here.
    // A file of 100 blocks of 512 bytes.
    void Progress(uint32_t nextBlock, const char* client) {
        station.TransferProgressed(Client(client), TransferDelivery{nextBlock, 512, 100 * 512});
        EXPECT_EQ(Loop(), 1u);
    }
    void Finished(const char* client, bool delivered) {
        station.TransferFinished(Client(client), delivered);
        EXPECT_EQ(Loop(), 1u);
    }
};

// Without a run no transfer is the current device's: a host reading the file
// then leaves the bar to a range search.
TEST_F(TransferCallbacksTest, WithoutARunATransferChangesNothing) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    station.m_dwUpgradeTick = 7;
    Progress(37, "127.0.0.2");
    EXPECT_TRUE(view.progressHistory.empty());
    EXPECT_EQ(State(0), "");
    EXPECT_EQ(station.m_dwUpgradeTick.load(), 7u);
    Finished("127.0.0.2", true);
    EXPECT_EQ(State(1), "");
    EXPECT_TRUE(devices.Received(1).empty()) << "no run to move on";
    EXPECT_FALSE(view.enabled_.count(kIdFind)) << "no control touched";
}

// The percentage goes to the client's row, found by its address when the
// current row shows another device; an address no row holds changes no cell.
TEST_F(TransferCallbacksTest, ProgressShowsInTheClientsRowAndRenewsTheStamp) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    RunningOn(0);
    TickClock::Advance(4000);
    Progress(50, "127.0.0.2");
    EXPECT_EQ(State(0), "50%");
    EXPECT_EQ(view.progress.load(), 50);
    EXPECT_EQ(station.m_dwUpgradeTick.load(), TickClock::Now());

    Progress(12, "127.0.0.3");
    EXPECT_EQ(State(1), "12%");
    EXPECT_EQ(State(0), "50%");

    Progress(80, "127.0.0.9");
    EXPECT_EQ(State(0), "50%");
    EXPECT_EQ(State(1), "12%");
    EXPECT_EQ(view.progress.load(), 50) << "the bar shows the current device only";
}

// Hosts that keep reading the file during a run (a device the run has left
// behind, any host that saw the path in a boot reply) show at most in their
// own rows: the bar stays with the current device, and its silence still
// counts, so the run moves on after 10 s.
TEST_F(TransferCallbacksTest, OnlyTheCurrentDeviceHoldsOffItsTimeOut) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}});
    RunningOn(1);  // the device of row 0 timed out and reads on
    const uint32_t started = TickClock::Now();
    for (uint32_t next = 1; TickClock::Now() - started <= kUpgradeSilenceMs; ++next) {
        TickClock::Advance(250);
        Progress(next, "127.0.0.2");
        Progress(next, "127.0.0.9");
        UpgradeStep(station);
        if (CurrentRow() != 1) break;
    }
    EXPECT_EQ(TickClock::Now() - started, kUpgradeSilenceMs + 250) << "the first step past 10 s moves on";
    EXPECT_EQ(State(1), Texts(2).stateUpgradeFailed);
    EXPECT_EQ(State(2), Texts(2).stateUpgrading);
    EXPECT_EQ(CurrentRow(), 2);
    EXPECT_EQ(devices.Received(2), kThreeUpgradeCommands);
    EXPECT_EQ(State(0), "41%") << "the reader's own row";
    EXPECT_EQ(view.progressHistory, std::vector<int>{0}) << "the bar moved only when the next device started";
}

// The end of the current device's transfer starts the next chosen device in
// the subnet, passing over one outside it; a delivered image keeps its
// percentage, one that was not delivered shows the failure.
TEST_F(TransferCallbacksTest, TheEndOfATransferStartsTheNextDevice) {
    for (bool delivered : {true, false}) {
        for (int language : {1, 2}) {
            SCOPED_TRACE(std::string(delivered ? "delivered" : "cut short") + ", language " +
                         std::to_string(language));
            station.m_DeviceList.DeleteAllRows();
            station.m_nLanguage = language;
            const TextTable& t = Texts(language);
            AddRows({{"127.0.0.2"}, {"127.0.1.5"}, {"127.0.0.4"}});
            RunningOn(0);
            Progress(100, "127.0.0.2");
            TickClock::Advance(300);
            Finished("127.0.0.2", delivered);
            EXPECT_EQ(State(0), delivered ? "100%" : t.stateUpgradeFailed);
            EXPECT_EQ(station.m_DeviceList.RowStateOf(0),
                      delivered ? RowState::Upgraded(100) : RowState::Failed(FailureReason::kTransferCut));
            EXPECT_EQ(station.m_DeviceList.RowStateOf(1), RowState::Failed(FailureReason::kNoLocalSubnet));
            EXPECT_EQ(State(1), t.stateNoSegment);
            EXPECT_EQ(State(2), t.stateUpgrading);
            EXPECT_EQ(CurrentRow(), 2);
            EXPECT_EQ(view.progress.load(), 0);
            EXPECT_EQ(station.m_dwUpgradeTick.load(), TickClock::Now());
            EXPECT_TRUE(devices.Received(3).empty());
            EXPECT_EQ(devices.Received(2), kThreeUpgradeCommands);

            Finished("127.0.0.4", true);  // the last one: the run ends
            EXPECT_TRUE(RunEnded());
            EXPECT_EQ(view.captions[kIdUpgrade], t.upgrade);
            EXPECT_EQ(station.m_DeviceList.m_bSortEnabled.load(), 1);
        }
    }
}

// A transfer of another device (one the run has already left behind) neither
// marks the current device nor moves the run on.
TEST_F(TransferCallbacksTest, AStrayTransferDoesNotMoveTheRun) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}});
    RunningOn(1);
    Finished("127.0.0.2", false);
    EXPECT_EQ(State(0), "");
    EXPECT_EQ(State(1), "Upgrade...");
    EXPECT_EQ(CurrentRow(), 1);
    EXPECT_TRUE(devices.Received(2).empty());
    EXPECT_FALSE(RunEnded());
}

TEST_F(TransferCallbacksTest, AfterAStopRequestTheEndOfTheTransferEndsTheRun) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    RunningOn(0);
    station.m_bUpgradeContinue = 0;
    Finished("127.0.0.2", true);
    EXPECT_TRUE(RunEnded());
    EXPECT_EQ(State(1), "");
    EXPECT_TRUE(devices.Received(1).empty());
}

TEST_F(TransferCallbacksTest, AnAbandonedTransferChangesNothing) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    RunningOn(0);
    station.TransferAbandoned(Client("127.0.0.2"));
    EXPECT_EQ(Loop(), 0u) << "nothing is posted";
    EXPECT_EQ(State(0), "Upgrade...");
    EXPECT_FALSE(RunEnded());
    EXPECT_TRUE(devices.Received(1).empty());
}

}  // namespace
