#pragma once

// Pacing of an upgrade run: up to N devices in their upgrade at once (one
// after another with N = 1, the default), started in table order. Only the
// command loop moves a run (upgrade_run.h): the press's start event begins
// it, the end of a device's transfer or its silence frees its slot for the
// next device, and the run ends when none is in flight and none may start
// (all done, the operator's Stop, or the failure limit). The window's
// single-device values (m_nUpgradeRow, m_upgradePhase, m_dwUpgradeTick) show
// the first device in flight.

#include <cstdint>
#include <memory>

namespace quillane {

class StationState;
class UpgradeRun;

// Silence (no upgrade command, block or end of transfer) after which a device
// in flight counts as failed: strictly more than this many ms.
inline constexpr uint32_t kUpgradeSilenceMs = 10000;

// The start event of a run: the run over the chosen devices in a local subnet
// from `row` on, with the limits of the run's request; its first device
// begins even when Stop was pressed before the loop took the start. Takes m_ListLock.
void StartUpgradeRun(StationState& station, int row);

// The run over the chosen devices in a local subnet from `firstRow` on, no device begun yet.
std::unique_ptr<UpgradeRun> MakeUpgradeRun(StationState& station, int firstRow, int parallel,
                                           int maxFailures);

// The time-out side of an upgrade run; called by the command loop while
// m_bUpgrading is 1 (nothing before the run's first device began). Devices
// silent too long fail and free their slots. Takes m_ListLock.
void UpgradeStep(StationState& station);

// How long the command loop may wait before a device in flight could time
// out (at least 1 ms, at most `longest`).
uint32_t UpgradeStepWaitMs(const StationState& station, uint32_t longest);

// The next-device rule of a press: the first chosen row from `firstRow` on
// whose device lies in a local subnet, or -1. Chosen rows outside every local
// subnet get the no-segment text on the way. With `whileLoopRuns` the walk
// gives up (-1) as soon as the command loop is told to end.
int FindNextUpgradeRow(StationState& station, int firstRow, bool whileLoopRuns);

// The row shows that its device is being upgraded.
void MarkUpgradeStarted(StationState& station, int row);
// Three upgrade commands to the device of the row, at its present address.
void SendUpgradeCommandToRow(StationState& station, int row);

// Moves the run on after a device's slot was freed (or Stop was pressed):
// starts devices in the free slots, or ends the run when none is in flight
// and none may start. Called with m_ListLock held.
void AdvanceUpgradeRun(StationState& station);

// The bar of a run of several at once: the devices done plus the shares of
// those in flight; it moves only when its percentage changes. (One after
// another it shows the device's own percentage.)
void ShowUpgradeRunFraction(StationState& station);

// The window's single-device values from the run's first device in flight.
void PublishUpgradeSlot(StationState& station);

// Ends the run, once: controls, caption, sorting and progress bar given back,
// flags cleared, the run dropped, silence stamp renewed, the end told to the
// run observer. Nothing when no run is on.
void EndUpgradeRun(StationState& station);

}  // namespace quillane
