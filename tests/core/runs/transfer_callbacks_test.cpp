#include "runs/transfer_callbacks.h"

#include "model/control_ids.h"
#include "model/texts.h"
#include "testing/upgrade_run_fixture.h"

using namespace quillane;
using namespace quillane::test;

namespace {

TEST(TransferPercentTest, CountsTheBlockAfterTheAcknowledgedOneAndStopsAt100) {
    struct Case {
        uint16_t nextBlock;
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

class TransferCallbacksTest : public UpgradeRunFixture {
protected:
    static sockaddr_in Client(const char* address) { return MakeAddress(ParseIPv4(address), 1234); }
    // The callbacks' context is the station's state, handed over as the server's `window`.
    StationState& Context() { return station; }
    // A file of 100 blocks of 512 bytes.
    void Progress(uint16_t nextBlock, const char* client) {
        const sockaddr_in from = Client(client);
        OnTransferProgress(&from, TransferDelivery{nextBlock, 512, 100 * 512}, &Context());
    }
    void Finished(const char* client, bool delivered) {
        const sockaddr_in from = Client(client);
        OnTransferFinished(&from, delivered, &Context());
    }
};

TEST_F(TransferCallbacksTest, WithoutARunAReportMovesOnlyTheProgressBar) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    station.m_dwUpgradeTick = 7;
    Progress(37, "127.0.0.2");
    EXPECT_EQ(view.progress.load(), 37);
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
    EXPECT_EQ(view.progress.load(), 80) << "the bar still moves";
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
    const sockaddr_in client = Client("127.0.0.2");
    OnTransferAbandoned(&client, &Context());
    EXPECT_EQ(State(0), "Upgrade...");
    EXPECT_FALSE(RunEnded());
    EXPECT_TRUE(devices.Received(1).empty());
}

}  // namespace
