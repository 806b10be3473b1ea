// Presses that fall between the steps of another piece of work: a search
// still pending, the tail of an address-change batch, the end of a run.
// One thread plays the window and the workers in the order under test.

#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/command_loop.h"
#include "runs/transfer_callbacks.h"
#include "testing/upgrade_run_fixture.h"

using namespace quillane;
using namespace quillane::test;

namespace {

class RunInterleavingsTest : public UpgradeRunFixture {
protected:
    void SetUp() override {
        UpgradeRunFixture::SetUp();
        station.SetUpdateFile(WriteFirmware());
    }
    // New settings that change the gateway only: every device keeps its address.
    static IpSettingsValues NewGateway() {
        IpSettingsValues values;
        values.gateway = 0x7F0000FE;  // 127.0.0.254
        values.ipCheck = values.maskCheck = values.serverCheck = values.backupServerCheck = 0;
        values.gatewayCheck = 1;
        return values;
    }
    // The command loop's pass, as its thread would run it.
    void LoopPass() { RunCommandLoopPass(station, loop); }

    CommandLoopState loop;
};

// Upgrade pressed within 4 s of a batch whose devices never answer: when the
// batch's answer check runs, the rows belong to the upgrade run and keep what
// the run shows.
TEST_F(RunInterleavingsTest, TheAnswerCheckOfABatchLeavesALaterUpgradeRunAlone) {
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}});
    view.ipSettingsAnswer = NewGateway();
    station.OnModifyIP();
    LoopPass();  // the batch
    ASSERT_EQ(State(0), Texts(2).stateModifying);
    ASSERT_EQ(devices.Received(0).size(), 1u);

    TickClock::Advance(1000);
    station.OnUpgrade();
    Loop();
    ASSERT_EQ(State(0), Texts(2).stateUpgrading);
    ASSERT_EQ(devices.Received(0), kThreeUpgradeCommands);
    const sockaddr_in client = MakeAddress(ParseIPv4("127.0.0.2"), 1234);
    station.TransferProgressed(client, TransferDelivery{37, 512, 100 * 512});

    TickClock::Advance(kAnswerTimeoutMs);
    LoopPass();
    EXPECT_EQ(State(0), "37%");
    EXPECT_EQ(State(1), "");
    EXPECT_EQ(State(2), "");
    EXPECT_EQ(station.m_DeviceList.Cell(1, kColMarker), "0") << "no answer is awaited any more";
    EXPECT_FALSE(RunEnded());
}

// Find, then Upgrade or Modify IP before the loop has handled the search:
// the search would empty the table under the run. Both presses are refused
// with a hint until the search is done; nothing is sent.
TEST_F(RunInterleavingsTest, APendingSearchRefusesUpgradeAndModifyIp) {
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        const TextTable& t = Texts(language);
        station.m_nLanguage = language;
        station.m_DeviceList.DeleteAllRows();
        AddRows({{"127.0.0.2"}});
        view.findType = 0;
        view.messages.clear();
        view.ipSettingsAsked.clear();
        view.ipSettingsAnswer = NewGateway();
        station.OnFind();
        ASSERT_EQ(station.m_bSearchRequest.load(), 1);

        station.OnUpgrade();
        Loop();
        station.OnModifyIP();
        const RecordingView::Message refused{t.msgSearchPending, t.captionHint};
        EXPECT_EQ(view.messages, (std::vector<RecordingView::Message>{refused, refused}));
        EXPECT_TRUE(RunEnded());
        EXPECT_EQ(station.m_bModifyRequest.load(), 0);
        EXPECT_TRUE(view.ipSettingsAsked.empty()) << "the dialog is not opened";
        EXPECT_EQ(State(0), "");
        EXPECT_TRUE(devices.Received(0).empty());

        station.m_bSearchRequest = 0;  // the loop has run the search
        station.OnUpgrade();
        Loop();
        EXPECT_EQ(State(0), t.stateUpgrading);
        EXPECT_EQ(devices.Received(0), kThreeUpgradeCommands);
        station.m_bUpgrading = 0;
        station.m_bUpgradeContinue = 0;
    }
}

// A run gives the controls back before it clears its flags. A press of the
// other run's button that lands in between does nothing, as a press of the
// run's own button does: it would start a run whose locking and sorting the
// rest of the ending run then undid. Once the flags are clear it starts.
TEST_F(RunInterleavingsTest, APressWhileAnUpgradeRunEndsStartsNoBatch) {
    AddRows({{"127.0.0.2"}});
    view.ipSettingsAnswer = NewGateway();
    RunningOn(0);
    bool pressed = false;
    view.onCaption = [&](int id, const std::string& text) {
        if (id != kIdUpgrade || text != Texts(2).upgrade || pressed) return;
        pressed = true;
        station.OnModifyIP();
    };
    const sockaddr_in client = MakeAddress(ParseIPv4("127.0.0.2"), 1234);
    station.TransferFinished(client, true);  // the last device
    Loop();
    ASSERT_TRUE(pressed);
    EXPECT_TRUE(RunEnded());
    EXPECT_TRUE(view.ipSettingsAsked.empty());
    EXPECT_EQ(station.m_bModifyRequest.load(), 0);
    EXPECT_EQ(station.m_DeviceList.m_bSortEnabled.load(), 1);

    station.OnModifyIP();
    EXPECT_EQ(station.m_bModifyRequest.load(), 1);
    EXPECT_EQ(station.m_DeviceList.m_bSortEnabled.load(), 0);
    EXPECT_EQ(view.Caption(kIdModifyIP), Texts(2).stop);
}

TEST_F(RunInterleavingsTest, APressWhileABatchEndsStartsNoUpgradeRun) {
    AddRows({{"127.0.0.2"}});
    view.ipSettingsAnswer = NewGateway();
    station.OnModifyIP();
    bool pressed = false;
    view.onCaption = [&](int id, const std::string& text) {
        if (id != kIdModifyIP || text != Texts(2).modifyIPAfterRun || pressed) return;
        pressed = true;
        station.OnUpgrade();
        Loop();
    };
    LoopPass();  // the batch
    ASSERT_TRUE(pressed);
    EXPECT_TRUE(RunEnded());
    EXPECT_EQ(State(0), Texts(2).stateModifying);
    EXPECT_EQ(station.m_DeviceList.m_bSortEnabled.load(), 1);
    EXPECT_EQ(devices.Received(0).size(), 1u) << "the address change only";

    station.OnUpgrade();
    Loop();
    EXPECT_FALSE(RunEnded());
    EXPECT_EQ(station.m_DeviceList.m_bSortEnabled.load(), 0);
    EXPECT_EQ(view.Caption(kIdUpgrade), Texts(2).stop);
}

}  // namespace
