#include "runs/upgrade_step.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "link/tftp_server.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/device_commands.h"
#include "runs/run_controls.h"
#include "runs/station_state.h"
#include "runs/upgrade_reach.h"
#include "runs/upgrade_run.h"
#include "support/tick_clock.h"

namespace quillane {

namespace {

bool IsRow(const StationState& station, int row) {
    return row >= 0 && row < station.m_DeviceList.RowCount();
}

// Chosen rows in [from, to) outside every local subnet get the no-segment
// text as the walk passes them; they never get a command.
void MarkRowsOutsideSubnets(StationState& station, int from, int to) {
    const std::shared_ptr<const LocalAddressLists> local = station.LocalAddresses();
    const RowState noSubnet = RowState::Failed(FailureReason::kNoLocalSubnet);
    const std::optional<std::string> text = StateText(noSubnet, station.m_nLanguage);
    DeviceTable& table = station.m_DeviceList;
    for (int row = std::max(from, 0); row < std::min(to, table.RowCount()); ++row)
        if (table.IsChosen(row) && !UpgradeReachesRow(table, row, *local))
            table.SetRowState(row, noSubnet, text);
}

void MarkTimedOut(StationState& station, int row) {
    if (!IsRow(station, row)) return;
    const RowState failed = RowState::Failed(FailureReason::kUpgradeTimedOut);
    station.m_DeviceList.SetRowState(row, failed, StateText(failed, station.m_nLanguage));
}

// A device begins: the rows passed on the way, its State, the bar (one after
// another it shows this device), its command, and its hardware address from
// the neighbour table, which the system has just resolved for the command.
void StartDevice(StationState& station, UpgradeRun& run, size_t device) {
    const int row = run.Row(device);
    MarkRowsOutsideSubnets(station, run.WalkedTo(), row);
    run.WalkPast(row);
    station.m_DeviceList.SetRowState(row, RowState::Upgrading(),
                                     StateText(RowState::Upgrading(), station.m_nLanguage));
    run.SetPhase(device, UpgradePhase::kCommandSent);
    if (!run.SeveralAtOnce()) station.View().SetProgress(0);
    SendUpgradeCommandToRow(station, row);
    std::optional<HardwareAddress> hardware;
    if (station.m_learnHardwareAddress)
        hardware = station.m_learnHardwareAddress(station.m_DeviceList.RowAddress(row));
    run.Slots().HardwareAddressLearned(device, hardware);
}

// Starts devices while the slots take them: each one alone, since the next
// may join only once the hardware address of the one before is known.
// `once`: only the first device.
void StartFreeSlots(StationState& station, UpgradeRun& run, bool once) {
    for (;;) {
        const std::vector<size_t> started = run.Slots().StartDevices(GetTickCount());
        for (size_t device : started) StartDevice(station, run, device);
        if (started.empty() || once) return;
    }
}

// What the run leaves in the rows it did not reach: after the failure limit
// "not started"; after a run that went to its end, the no-segment text of the
// rows it passed. After Stop they stay as they are.
void MarkRowsNotReached(StationState& station, UpgradeRun& run) {
    UpgradeSlots& slots = run.Slots();
    if (slots.FailureLimitReached()) {
        const std::optional<std::string> text = StateText(RowState::NotStarted(), station.m_nLanguage);
        for (size_t device = 0; device < slots.Count(); ++device)
            if (slots.State(device) == SlotState::NotStarted)
                station.m_DeviceList.SetRowState(run.Row(device), RowState::NotStarted(), text);
    } else if (!slots.Stopped()) {
        MarkRowsOutsideSubnets(station, run.WalkedTo(), station.m_DeviceList.RowCount());
    }
}

void LogUnansweredBootRequests(StationState& station, const UpgradeSlots& slots) {
    if (slots.UnansweredBootRequests() == 0 || !station.m_pTftpServer) return;
    station.m_pTftpServer->LogServerMessage(
        "Upgrade run: " + std::to_string(slots.UnansweredBootRequests()) +
        " boot request(s) not answered (hardware address of no device in flight)");
}

}  // namespace

std::unique_ptr<UpgradeRun> MakeUpgradeRun(StationState& station, int firstRow, int parallel,
                                           int maxFailures) {
    const std::shared_ptr<const LocalAddressLists> local = station.LocalAddresses();
    const DeviceTable& table = station.m_DeviceList;
    std::vector<UpgradeRunDevice> devices;
    for (int row = std::max(firstRow, 0); row < table.RowCount(); ++row)
        if (table.IsChosen(row) && UpgradeReachesRow(table, row, *local))
            devices.push_back({row, table.RowAddress(row)});
    return std::make_unique<UpgradeRun>(devices, UpgradeSlotLimits{parallel, maxFailures}, firstRow);
}

void StartUpgradeRun(StationState& station, int row) {
    AutoLock lock(&station.m_ListLock);
    if (station.m_bUpgrading.load() != 1) return;  // the services stopped meanwhile
    if (!IsRow(station, row)) {
        EndUpgradeRun(station);
        return;
    }
    const UpgradeRequest request = station.CurrentUpgradeRequest();
    station.m_upgradeRun = MakeUpgradeRun(station, row, request.parallel, request.maxFailures);
    UpgradeRun& run = *station.m_upgradeRun;
    if (run.SeveralAtOnce()) {
        station.View().SetProgress(0);
        station.View().SetCaption(kIdNoteLine, FillIn(Texts(station.m_nLanguage).noteUpgradeParallel,
                                                      {std::to_string(run.Parallel())}));
    }
    // The press chose the first device: it begins even after a Stop.
    StartFreeSlots(station, run, true);
    AdvanceUpgradeRun(station);
}

void AdvanceUpgradeRun(StationState& station) {
    UpgradeRun* run = station.m_upgradeRun.get();
    if (!run) return;
    if (station.m_bUpgradeContinue.load() != 1 || station.m_bLoopRun.load() != 1) run->Slots().Stop();
    StartFreeSlots(station, *run, false);
    if (!run->Slots().Ended()) {
        PublishUpgradeSlot(station);
        return;
    }
    MarkRowsNotReached(station, *run);
    LogUnansweredBootRequests(station, run->Slots());
    // The note of several at once goes with the run; a named boot request stays.
    if (run->SeveralAtOnce() && !run->UnansweredNamed())
        station.View().SetCaption(kIdNoteLine, Texts(station.m_nLanguage).noteLine);
    EndUpgradeRun(station);
}

void PublishUpgradeSlot(StationState& station) {
    const UpgradeRun* run = station.m_upgradeRun.get();
    if (!run) return;
    const std::optional<size_t> first = run->FirstInFlight();
    if (!first) {
        station.m_upgradePhase = UpgradePhase::kNone;
        return;
    }
    station.m_nUpgradeRow = run->Row(*first);
    station.m_upgradePhase = run->Phase(*first);
    station.m_dwUpgradeTick = run->Slots().LastHeard(*first);
}

void ShowUpgradeRunFraction(StationState& station) {
    UpgradeRun* run = station.m_upgradeRun.get();
    if (!run || !run->SeveralAtOnce()) return;
    const int percent = static_cast<int>(std::floor(run->Slots().RunFraction() * 100));
    if (percent == run->m_barPercent) return;
    run->m_barPercent = percent;
    station.View().SetProgress(percent);
}

void UpgradeStep(StationState& station) {
    AutoLock lock(&station.m_ListLock);
    UpgradeRun* run = station.m_upgradeRun.get();
    if (!run) return;
    const std::vector<size_t> expired = run->Slots().ExpireSilent(GetTickCount(), kUpgradeSilenceMs);
    if (expired.empty()) {
        PublishUpgradeSlot(station);  // a stamp from before the counter wrapped was renewed
        return;
    }
    if (!station.m_pTftpServer) {
        EndUpgradeRun(station);
        return;
    }
    for (size_t device : expired) {
        MarkTimedOut(station, run->Row(device));
        run->SetPhase(device, UpgradePhase::kNone);
    }
    ShowUpgradeRunFraction(station);
    AdvanceUpgradeRun(station);
}

uint32_t UpgradeStepWaitMs(const StationState& station, uint32_t longest) {
    const UpgradeRun* run = station.m_upgradeRun.get();
    if (!run) return longest;  // the start event wakes the loop
    const std::optional<uint32_t> left = run->Slots().MsUntilNextTimeOut(GetTickCount(), kUpgradeSilenceMs);
    if (!left) return longest;
    return std::clamp<uint32_t>(*left, 1, longest);
}

int FindNextUpgradeRow(StationState& station, int firstRow, bool whileLoopRuns) {
    const std::shared_ptr<const LocalAddressLists> local = station.LocalAddresses();
    const RowState noSubnet = RowState::Failed(FailureReason::kNoLocalSubnet);
    const std::optional<std::string> noSubnetText = StateText(noSubnet, station.m_nLanguage);
    DeviceTable& table = station.m_DeviceList;
    for (int row = std::max(firstRow, 0); row < table.RowCount(); ++row) {
        if (whileLoopRuns && station.m_bLoopRun.load() == 0) return -1;
        if (!table.IsChosen(row)) continue;
        if (UpgradeReachesRow(table, row, *local)) return row;
        table.SetRowState(row, noSubnet, noSubnetText);
    }
    return -1;
}

void MarkUpgradeStarted(StationState& station, int row) {
    station.m_nUpgradeRow = row;
    station.m_upgradePhase = UpgradePhase::kCommandSent;
    station.m_DeviceList.SetRowState(row, RowState::Upgrading(),
                                     StateText(RowState::Upgrading(), station.m_nLanguage));
}

void SendUpgradeCommandToRow(StationState& station, int row) {
    SendUpgradeCommand(station.m_DeviceLink, station.m_DeviceList.RowAddress(row));
}

// The controls are given back before the flags are cleared, so a new run
// never gets the captions of an idle window; a press in between does nothing.
void EndUpgradeRun(StationState& station) {
    if (station.m_bUpgrading.load() != 1) return;
    station.m_upgradeRun.reset();
    station.m_upgradePhase = UpgradePhase::kNone;
    ReturnControlsAfterRun(station.View(), station.m_nLanguage, RunButton::kUpgrade,
                           station.CurrentUpgradeRequest().rangeSearchChosen);
    station.m_DeviceList.m_bSortEnabled = 1;
    station.View().SetProgress(0);
    station.m_dwUpgradeTick = GetTickCount();
    station.m_bUpgrading = 0;
    station.m_bUpgradeContinue = 0;
    station.NotifyRunEnded(RunKind::kUpgrade);
}

}  // namespace quillane
