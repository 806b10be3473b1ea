#include "runs/run_hardware_addresses.h"

namespace quillane {

void RunHardwareAddresses::Learn(const HardwareAddress& hardware, IPv4Address device) {
    if (NamesNoDevice(hardware) || m_ambiguous.count(hardware)) return;
    const auto [entry, added] = m_devices.emplace(hardware, device);
    if (added || entry->second == device) return;
    m_devices.erase(entry);
    m_ambiguous.insert(hardware);
}

std::optional<IPv4Address> RunHardwareAddresses::DeviceOf(const HardwareAddress& hardware) const {
    const auto found = m_devices.find(hardware);
    if (found == m_devices.end()) return std::nullopt;
    return found->second;
}

bool RunHardwareAddresses::Knows(IPv4Address device) const {
    for (const auto& [hardware, address] : m_devices)
        if (address == device) return true;
    return false;
}

void RunHardwareAddresses::Clear() {
    m_devices.clear();
    m_ambiguous.clear();
}

}  // namespace quillane
