// The upgrade run as the command loop moves it: sequences of events (the
// press, boot requests, transfer reports, silence on the fake clock, Stop)
// and what each sequence leaves: the rows' texts, every value the progress
// bar was given, and the controls given back exactly once.

#include <string>
#include <variant>
#include <vector>

#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/boot_responder.h"
#include "runs/upgrade_step.h"
#include "testing/upgrade_run_fixture.h"

using namespace quillane;
using namespace quillane::test;

namespace {

// Steps of a sequence. Rows 0, 1, 2 hold the devices 127.0.0.2, .3, .4.
struct Press {};          // Upgrade pressed, the loop takes the start
struct Stop {};           // Upgrade pressed during the run
struct PressThenStop {};  // both presses before the loop's turn
struct Boot {};           // a loader's boot request
struct Block {            // the device of `row` acknowledged up to `percent`
    int row;
    int percent;
};
struct End {  // the transfer of `row` ended
    int row;
    bool delivered;
};
struct Silence {  // the clock moves on, then the loop's step
    uint32_t ms;
};
using Step = std::variant<Press, Stop, PressThenStop, Boot, Block, End, Silence>;

struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> texts;  // the rows' State cells afterwards
    std::vector<int> progress;       // every value the bar was given, in order
    bool ended;                      // the run gave the controls back (then exactly once)
    UpgradePhase phase;              // the device slot's phase afterwards
};

std::string Address(int row) {
    return "127.0.0." + std::to_string(row + 2);
}

class UpgradeRunTest : public UpgradeRunFixture {
protected:
    void Do(const Step& step) {
        if (std::holds_alternative<Press>(step)) {
            station.OnUpgrade();
        } else if (std::holds_alternative<Stop>(step)) {
            station.OnUpgrade();
        } else if (std::holds_alternative<PressThenStop>(step)) {
            station.OnUpgrade();
            station.OnUpgrade();
        } else if (std::holds_alternative<Boot>(step)) {
            std::vector<uint8_t> request(kBootPacketSize, 0);
            request[0] = 1;
            OnBootRequest(nullptr, request.data(), static_cast<int>(request.size()), &station);
        } else if (const auto* block = std::get_if<Block>(&step)) {
            station.TransferProgressed(
                MakeAddress(ParseIPv4(Address(block->row)), 1234),
                TransferDelivery{static_cast<uint32_t>(block->percent), 512, 100 * 512});
        } else if (const auto* end = std::get_if<End>(&step)) {
            station.TransferFinished(MakeAddress(ParseIPv4(Address(end->row)), 1234), end->delivered);
        } else if (const auto* silence = std::get_if<Silence>(&step)) {
            TickClock::Advance(silence->ms);
            UpgradeStep(station);
        }
        Loop();
    }
    int ControlsGivenBack() const {
        int count = 0;
        for (const std::string& caption : view.CaptionsOf(kIdUpgrade)) count += caption == Texts(2).upgrade;
        return count;
    }
};

TEST_F(UpgradeRunTest, EventSequencesMoveTheRunAsTheDesignPaces) {
    const std::string upgrading = Texts(2).stateUpgrading;
    const std::string timedOut = *StateText(RowState::Failed(FailureReason::kUpgradeTimedOut), 2);
    const std::string cut = *StateText(RowState::Failed(FailureReason::kTransferCut), 2);
    using P = UpgradePhase;
    const Case cases[] = {
        {"each device in turn",
         {Press{}, Boot{}, Block{0, 50}, Block{0, 100}, End{0, true}, Boot{}, Block{1, 100}, End{1, true},
          Block{2, 100}, End{2, true}},
         {"100%", "100%", "100%"},
         {0, 50, 100, 0, 100, 0, 100, 0},
         true,
         P::kNone},
        {"the phases of the current device", {Press{}}, {upgrading, "", ""}, {0}, false, P::kCommandSent},
        {"a boot request answered for the current device",
         {Press{}, Boot{}},
         {upgrading, "", ""},
         {0},
         false,
         P::kBootAnswered},
        {"its blocks", {Press{}, Boot{}, Block{0, 30}}, {"30%", "", ""}, {0, 30}, false, P::kTransferring},
        {"exactly 10 s of silence is not yet too long",
         {Press{}, Silence{10000}},
         {upgrading, "", ""},
         {0},
         false,
         P::kCommandSent},
        {"a boot request after the time-out names the next device",
         {Press{}, Silence{10001}, Boot{}},
         {timedOut, upgrading, ""},
         {0, 0},
         false,
         P::kBootAnswered},
        {"a boot request before the time-out, silence after it",
         {Press{}, Boot{}, Silence{10001}},
         {timedOut, upgrading, ""},
         {0, 0},
         false,
         P::kCommandSent},
        {"a block holds the time-out off",
         {Press{}, Silence{9000}, Block{0, 10}, Silence{9000}},
         {"10%", "", ""},
         {0, 10},
         false,
         P::kTransferring},
        {"a transfer ending for a device no longer current",
         {Press{}, Block{0, 40}, Silence{10001}, End{0, true}, Block{0, 60}},
         {"60%", upgrading, ""},
         {0, 40, 0},
         false,
         P::kCommandSent},
        {"a cut transfer fails its device and the run goes on",
         {Press{}, Block{0, 40}, End{0, false}},
         {cut, upgrading, ""},
         {0, 40, 0},
         false,
         P::kCommandSent},
        {"Stop before the loop took the start",
         {PressThenStop{}, End{0, true}},
         {upgrading, "", ""},
         {0, 0},
         true,
         P::kNone},
        {"Stop while the command is out",
         {Press{}, Stop{}, Silence{10001}},
         {timedOut, "", ""},
         {0, 0},
         true,
         P::kNone},
        {"Stop after the boot reply",
         {Press{}, Boot{}, Stop{}, End{0, true}},
         {upgrading, "", ""},
         {0, 0},
         true,
         P::kNone},
        {"Stop while transferring",
         {Press{}, Block{0, 70}, Stop{}, Block{0, 100}, End{0, true}},
         {"100%", "", ""},
         {0, 70, 100, 0},
         true,
         P::kNone},
        {"Stop, then the transfer is cut",
         {Press{}, Block{0, 70}, Stop{}, End{0, false}},
         {cut, "", ""},
         {0, 70, 0},
         true,
         P::kNone},
        {"late reports after the run",
         {Press{}, Stop{}, Block{0, 100}, End{0, true}, Block{0, 100}, End{0, true}, Boot{}, Silence{20000}},
         {"100%", "", ""},
         {0, 100, 0},
         true,
         P::kNone},
    };
    station.SetUpdateFile(WriteFirmware());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        station.m_DeviceList.DeleteAllRows();
        AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}});
        view.progressHistory.clear();
        view.captionLog.clear();
        const int endsBefore = RunsEnded();
        for (const Step& step : c.steps) Do(step);
        std::vector<std::string> texts;
        for (int row = 0; row < 3; ++row) texts.push_back(State(row));
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(view.progressHistory, c.progress);
        EXPECT_EQ(station.m_upgradePhase.load(), c.phase);
        EXPECT_EQ(RunEnded(), c.ended);
        EXPECT_EQ(ControlsGivenBack(), c.ended ? 1 : 0);
        EXPECT_EQ(RunsEnded() - endsBefore, c.ended ? 1 : 0);
        if (!c.ended) {  // end the run for the next case, as the services' stop does
            station.m_bUpgradeContinue = 0;
            EndUpgradeRun(station);
        }
        for (size_t i = 0; i < 3; ++i) (void)devices.Received(i, 0);
    }
}

// Commands go to each device as its turn comes, three at a time, and never
// to a device the run does not reach.
TEST_F(UpgradeRunTest, TheCommandGoesToEachDeviceAsItsTurnComes) {
    station.SetUpdateFile(WriteFirmware());
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}});
    Do(Press{});
    EXPECT_EQ(devices.Received(0), kThreeUpgradeCommands);
    EXPECT_TRUE(devices.Received(1).empty());
    Do(Silence{10001});
    EXPECT_EQ(devices.Received(1), kThreeUpgradeCommands);
    Do(Stop{});
    Do(End{1, true});
    EXPECT_TRUE(RunEnded());
    EXPECT_TRUE(devices.Received(2).empty());
}

}  // namespace
