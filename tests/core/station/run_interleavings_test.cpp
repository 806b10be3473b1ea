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
    ASSERT_EQ(State(0), Texts(2).stateUpgrading);
    ASSERT_EQ(devices.Received(0), kThreeUpgradeCommands);
    const sockaddr_in client = MakeAddress(ParseIPv4("127.0.0.2"), 1234);
    OnTransferProgress(37, 512, 100 * 512, 0, &client, static_cast<StationState*>(&station));

    TickClock::Advance(kAnswerTimeoutMs);
    LoopPass();
    EXPECT_EQ(State(0), "37%");
    EXPECT_EQ(State(1), "");
    EXPECT_EQ(State(2), "");
    EXPECT_EQ(station.m_DeviceList.Cell(1, kColMarker), "0") << "no answer is awaited any more";
    EXPECT_FALSE(RunEnded());
}

}  // namespace
