#pragma once

// Commands that go out to one device on the device link. Send results are not
// examined: a device that misses a command is caught by the upgrade time-out.

#include "support/ipv4.h"

namespace quillane {

class DeviceLink;

inline constexpr int kUpgradeCommandCopies = 3;

// Three copies of the upgrade command, back to back, to the device's present address.
void SendUpgradeCommand(const DeviceLink& link, IPv4Address device);

}  // namespace quillane
