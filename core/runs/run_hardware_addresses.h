#pragma once

// The hardware addresses of one upgrade run's devices: learned from the
// neighbour table after each device's command, or from the first boot request
// the run answered for a device. One hardware address that turns up for two
// device addresses (a proxy-ARP router answering for a whole segment, say)
// names neither device: it is kept as ambiguous and matches nothing, so those
// devices count as devices of unknown hardware address. Plain data owned by
// the run; no locking of its own.

#include <map>
#include <optional>
#include <set>

#include "link/neighbour_table.h"
#include "support/ipv4.h"

namespace quillane {

class RunHardwareAddresses {
public:
    // Records that `hardware` belongs to the device at `device`. An address
    // that names no device (zero, group) is not recorded.
    void Learn(const HardwareAddress& hardware, IPv4Address device);

    // The run's device whose hardware address this is; nullopt when unknown or ambiguous.
    std::optional<IPv4Address> DeviceOf(const HardwareAddress& hardware) const;

    // Whether the device has a hardware address of its own in this run (one
    // learned, and not shared with another device).
    bool Knows(IPv4Address device) const;

    void Clear();

private:
    std::map<HardwareAddress, IPv4Address> m_devices;
    std::set<HardwareAddress> m_ambiguous;
};

}  // namespace quillane
