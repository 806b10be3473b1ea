#pragma once

// One upgrade run as the command loop keeps it: the slots (upgrade_slots.h)
// over the chosen devices in a local subnet, each device's table row and
// phase, and how far the walk over the table has come (chosen rows outside
// every local subnet are marked as the run passes them). Owned by the
// station, touched by the command loop alone.

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "runs/upgrade_phase.h"
#include "runs/upgrade_slots.h"
#include "support/ipv4.h"

namespace quillane {

struct UpgradeRunDevice {
    int row = 0;
    IPv4Address address;
};

class UpgradeRun {
public:
    // `devices` in table order; `firstRow` is where the walk over the table begins.
    UpgradeRun(const std::vector<UpgradeRunDevice>& devices, UpgradeSlotLimits limits, int firstRow);

    UpgradeSlots& Slots() { return m_slots; }
    const UpgradeSlots& Slots() const { return m_slots; }
    bool SeveralAtOnce() const { return m_parallel > 1; }
    int Parallel() const { return m_parallel; }

    int Row(size_t device) const { return m_devices[device].row; }
    UpgradePhase Phase(size_t device) const { return m_phases[device]; }
    void SetPhase(size_t device, UpgradePhase phase) { m_phases[device] = phase; }
    // The run's device with this address, if any.
    std::optional<size_t> DeviceAt(IPv4Address address) const;
    // The first device in flight in table order: the "current" one the
    // window's single-device values (row, phase, stamp) show.
    std::optional<size_t> FirstInFlight() const;

    // The first row the walk has not passed yet.
    int WalkedTo() const { return m_walkedTo; }
    void WalkPast(int row) { m_walkedTo = row + 1; }

    // The note line names the first unanswered boot request only.
    bool TakeFirstUnanswered() { return !std::exchange(m_unansweredNamed, true); }
    bool UnansweredNamed() const { return m_unansweredNamed; }
    // The bar's last value in a run of several at once (it moves only on change).
    int m_barPercent = 0;

private:
    std::vector<UpgradeRunDevice> m_devices;
    std::vector<UpgradePhase> m_phases;
    UpgradeSlots m_slots;
    int m_parallel;
    int m_walkedTo;
    bool m_unansweredNamed = false;
};

}  // namespace quillane
