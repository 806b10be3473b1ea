#include "verdicts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/runs/reply_bytes.h"
#include "model/null_station_view.h"
#include "runs/command_loop.h"
#include "runs/reply_handling.h"
#include "runs/station_state.h"
#include "runs/transfer_callbacks.h"
#include "runs/upgrade_step.h"

using namespace quillane;
using namespace quillane::cli;

namespace {

// What one pass of the verdict code saw: the State texts the workers wrote
// and the verdicts the tool drew from the rows.
struct Outcome {
    std::vector<std::string> texts;
    std::vector<std::string> upgradeVerdicts;
    std::vector<bool> changesSucceeded;
};

void AddRow(StationState& state, const char* ip, int32_t number) {
    DeviceRow cells;
    cells[kColChoice] = kCheckMark;
    cells[kColIP] = ip;
    cells[kColMask] = "255.255.255.0";
    cells[kColDeviceNo] = std::to_string(number);
    cells[kColMarker] = "0";
    state.m_DeviceList.AppendRow(cells);
}

void Reply(StationState& state, const std::vector<uint8_t>& bytes) {
    ST_CMD_RUN_tag entry;
    entry.length = static_cast<int32_t>(bytes.size());
    entry.data.reset(new uint8_t[bytes.size() + 1]());
    std::memcpy(entry.data.get(), bytes.data(), bytes.size());
    HandleDeviceReply(state, entry);
}

void Transfer(StationState& state, const char* client, uint16_t nextBlock, bool delivered) {
    const sockaddr_in from = MakeAddress(ParseIPv4(client), 1234);
    state.TransferProgressed(from, TransferDelivery{nextBlock, 512, 100 * 512});
    state.TransferFinished(from, delivered);
    HandleLoopEvents(state);
}

// An upgrade run and address-change results, as the station's workers carry
// them out (without a network: commands leave an unopened socket), in one language.
Outcome RunIn(int language) {
    NullStationView view;
    StationNetwork network;
    network.startServices = false;
    StationState state(view, "/nonexistent/", network);
    state.m_nLanguage = language;
    state.SetLocalAddresses({{"10.0.0.1"}, {"255.255.255.0"}});
    AddRow(state, "10.0.0.2", 1);  // takes the whole file
    AddRow(state, "10.9.0.2", 2);  // in no local subnet
    AddRow(state, "10.0.0.3", 3);  // its transfer is cut short
    AddRow(state, "10.0.0.4", 4);  // the run is stopped before it

    state.m_bLoopRun = 1;  // as while the command loop runs: the run moves on
    state.m_bUpgrading = 1;
    state.m_bUpgradeContinue = 1;
    state.m_learnHardwareAddress = [](IPv4Address) { return std::optional<HardwareAddress>(); };
    StartUpgradeRun(state, FindNextUpgradeRow(state, 0, false));
    Transfer(state, "10.0.0.2", 101, true);
    state.m_bUpgradeContinue = 0;  // Stop: the run ends after the current device
    Transfer(state, "10.0.0.3", 40, false);

    Outcome outcome;
    for (int row = 0; row < state.m_DeviceList.RowCount(); ++row) {
        outcome.texts.push_back(state.m_DeviceList.Cell(row, kColState));
        outcome.upgradeVerdicts.push_back(UpgradeVerdict(state.m_DeviceList.RowStateOf(row)));
    }

    for (int row = 0; row < state.m_DeviceList.RowCount(); ++row)
        state.m_DeviceList.SetRowState(row, RowState::Waiting(), StateText(RowState::Waiting(), language));
    Reply(state, ShortResultBytes(1, 1));
    Reply(state, ShortResultBytes(2, 0));
    FakeDevice moved;
    moved.number = 3;
    Reply(state, FullResultBytes(3, 1, moved));
    for (int row = 0; row < state.m_DeviceList.RowCount(); ++row) {
        outcome.texts.push_back(state.m_DeviceList.Cell(row, kColState));
        outcome.changesSucceeded.push_back(ChangeSucceeded(state.m_DeviceList.RowStateOf(row)));
    }
    return outcome;
}

// The texts the station writes follow the language; the tool's verdicts,
// drawn from the values beside them, do not.
TEST(CliVerdicts, ChangingTheLanguageBetweenTwoRunsChangesNoVerdict) {
    const Outcome chinese = RunIn(1);
    const Outcome english = RunIn(2);
    EXPECT_NE(chinese.texts, english.texts) << "the runs did show different texts";
    EXPECT_EQ(chinese.upgradeVerdicts, english.upgradeVerdicts);
    EXPECT_EQ(chinese.changesSucceeded, english.changesSucceeded);

    EXPECT_EQ(english.upgradeVerdicts, (std::vector<std::string>{
                                           "",
                                           "failed: no address of this workstation lies in its subnet",
                                           "failed: the device did not load the file",
                                           "not upgraded: the run was stopped before this device",
                                       }));
    EXPECT_EQ(english.changesSucceeded, (std::vector<bool>{true, false, true, false}));
}

TEST(CliVerdicts, EveryStateHasAVerdict) {
    struct Case {
        RowState state;
        bool upgraded;
        bool changed;
    };
    const Case cases[] = {
        {RowState{}, false, false},
        {RowState::Waiting(), false, false},
        {RowState::Succeeded(), false, true},
        {RowState::Failed(FailureReason::kNoAnswer), false, false},
        {RowState::Failed(FailureReason::kDeviceRefused), false, false},
        {RowState::Upgrading(), false, false},
        {RowState::Upgrading(100), false, false},
        {RowState::Upgraded(37), true, false},  // delivered, whatever the percentage last shown
        {RowState::Upgraded(-1), true, false},
        {RowState::NotStarted(), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StableName(c.state));
        EXPECT_EQ(UpgradeVerdict(c.state).empty(), c.upgraded) << UpgradeVerdict(c.state);
        EXPECT_EQ(ChangeSucceeded(c.state), c.changed);
    }
    EXPECT_EQ(UpgradeVerdict(RowState::Upgrading(45)), "failed: the transfer did not finish (45%)");
}

}  // namespace
