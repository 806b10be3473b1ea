#pragma once

// Pacing of an upgrade run: one device after another, in table order. Only
// the command loop moves a run, one device slot at a time (row, phase,
// silence stamp; upgrade_phase.h): the press's start event begins the first
// device, the end of its transfer or its silence moves on to the next, and
// the run ends when none is left or the operator asked to stop. Every step
// chooses the next device by the same rule, here.

#include <cstdint>

namespace quillane {

class StationState;

// Silence (no upgrade command, block or end of transfer) after which the
// current device counts as failed: strictly more than this many ms.
inline constexpr uint32_t kUpgradeSilenceMs = 10000;

// The start event of a run: the device of `row` begins (see ContinueUpgradeRun).
// Takes m_ListLock.
void StartUpgradeRun(StationState& station, int row);

// The time-out side of an upgrade run; called by the command loop while
// m_bUpgrading is 1 (nothing before the run's first device began). Takes m_ListLock.
void UpgradeStep(StationState& station);

// How long the command loop may wait before the current device could time
// out (at least 1 ms, at most `longest`).
uint32_t UpgradeStepWaitMs(const StationState& station, uint32_t longest);

// The next-device rule: the first chosen row from `firstRow` on whose device
// lies in a local subnet, or -1. Chosen rows outside every local subnet get
// the no-segment text on the way. With `whileLoopRuns` the walk gives up
// (-1) as soon as the command loop is told to end.
int FindNextUpgradeRow(StationState& station, int firstRow, bool whileLoopRuns);

// The row becomes the current device (its slot in the command phase) and
// shows that it is being upgraded.
void MarkUpgradeStarted(StationState& station, int row);
// Three upgrade commands to the device of the row, at its present address.
void SendUpgradeCommandToRow(StationState& station, int row);

// Moves a run on from `firstRow`: starts the next device (current row, State,
// progress bar at 0, the command, the silence stamp) or ends the run.
// Called with m_ListLock held.
void ContinueUpgradeRun(StationState& station, int firstRow);

// Ends the run, once: controls, caption, sorting and progress bar given back,
// flags cleared, the slot emptied, silence stamp renewed, the end told to the
// run observer. Nothing when no run is on.
void EndUpgradeRun(StationState& station);

}  // namespace quillane
