#include "runs/upgrade_run.h"

#include <algorithm>

namespace quillane {

namespace {

std::vector<IPv4Address> Addresses(const std::vector<UpgradeRunDevice>& devices) {
    std::vector<IPv4Address> addresses;
    addresses.reserve(devices.size());
    for (const UpgradeRunDevice& device : devices) addresses.push_back(device.address);
    return addresses;
}

}  // namespace

UpgradeRun::UpgradeRun(const std::vector<UpgradeRunDevice>& devices, UpgradeSlotLimits limits, int firstRow)
    : m_devices(devices),
      m_phases(devices.size(), UpgradePhase::kNone),
      m_slots(Addresses(devices), limits),
      m_parallel(std::clamp(limits.parallel, 1, kMaxUpgradeParallel)),
      m_walkedTo(firstRow) {}

std::optional<size_t> UpgradeRun::DeviceAt(IPv4Address address) const {
    for (size_t i = 0; i < m_devices.size(); ++i)
        if (m_devices[i].address == address) return i;
    return std::nullopt;
}

std::optional<size_t> UpgradeRun::FirstInFlight() const {
    for (size_t i = 0; i < m_devices.size(); ++i)
        if (m_slots.State(i) == SlotState::InFlight) return i;
    return std::nullopt;
}

}  // namespace quillane
