#include "runs/upgrade_step.h"

#include <algorithm>

#include "link/tftp_server.h"
#include "model/texts.h"
#include "runs/device_commands.h"
#include "runs/run_controls.h"
#include "runs/station_state.h"
#include "runs/upgrade_reach.h"
#include "support/tick_clock.h"

namespace quillane {

namespace {

bool IsRow(const StationState& station, int row) {
    return row >= 0 && row < station.m_DeviceList.RowCount();
}

// Marks the current device failed: it stayed silent too long.
void MarkCurrentFailed(StationState& station, int row) {
    if (!IsRow(station, row)) return;
    const RowState failed = RowState::Failed(FailureReason::kUpgradeTimedOut);
    station.m_DeviceList.SetRowState(row, failed, StateText(failed, station.m_nLanguage));
}

// The device of the row begins: current row, State, progress bar at 0, the
// command, the silence stamp.
void StartDevice(StationState& station, int row) {
    MarkUpgradeStarted(station, row);
    station.View().SetProgress(0);
    SendUpgradeCommandToRow(station, row);
    station.m_dwUpgradeTick = GetTickCount();
}

}  // namespace

void StartUpgradeRun(StationState& station, int row) {
    AutoLock lock(&station.m_ListLock);
    if (station.m_bUpgrading.load() != 1) return;  // the services stopped meanwhile
    if (!IsRow(station, row)) {
        EndUpgradeRun(station);
        return;
    }
    StartDevice(station, row);
}

void UpgradeStep(StationState& station) {
    AutoLock lock(&station.m_ListLock);
    if (station.m_upgradePhase.load() == UpgradePhase::kNone) return;
    const uint32_t now = GetTickCount();
    const uint32_t since = station.m_dwUpgradeTick.load();
    if (now < since) {  // the counter wrapped: count the silence from here
        station.m_dwUpgradeTick = now;
        return;
    }
    if (now - since <= kUpgradeSilenceMs) return;
    if (!station.m_pTftpServer) {
        EndUpgradeRun(station);
        return;
    }
    const int current = station.m_nUpgradeRow.load();
    MarkCurrentFailed(station, current);
    if (station.m_bUpgradeContinue.load() == 1) {
        ContinueUpgradeRun(station, current + 1);
    } else {
        EndUpgradeRun(station);  // the operator asked to stop
    }
}

uint32_t UpgradeStepWaitMs(const StationState& station, uint32_t longest) {
    if (station.m_upgradePhase.load() == UpgradePhase::kNone)
        return longest;  // the start event wakes the loop
    const uint32_t now = GetTickCount();
    const uint32_t since = station.m_dwUpgradeTick.load();
    if (now < since) return 1;  // the step resets the stamp at once
    const uint32_t silent = now - since;
    if (silent > kUpgradeSilenceMs) return 1;
    return std::clamp<uint32_t>(kUpgradeSilenceMs + 1 - silent, 1, longest);
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

void ContinueUpgradeRun(StationState& station, int firstRow) {
    const int row = FindNextUpgradeRow(station, firstRow, true);
    if (row < 0) {
        EndUpgradeRun(station);
        return;
    }
    StartDevice(station, row);
}

// The controls are given back before the flags are cleared, so a new run
// never gets the captions of an idle window; a press in between does nothing.
void EndUpgradeRun(StationState& station) {
    if (station.m_bUpgrading.load() != 1) return;
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
