#pragma once

// Commands that go out on the device endpoint's socket (port 25000 of the
// destination). Send results are not examined: a device that misses a command
// is caught by the answer check or the upgrade time-out.

#include <cstdint>

#include "support/udp_socket.h"

namespace quillane {

class StationState;

// The group form of the address-change command, sent once to `destination`
// (the command group). Addresses in number form; only the device number's low
// 16 bits travel. Returns the send result.
int SendAddressChange(StationState& station, const sockaddr_in& destination, int32_t deviceNumber,
                      uint32_t presentIp, uint32_t serverIp, uint32_t standbyServerIp, uint32_t newIp,
                      uint32_t gateway, uint32_t mask);

// Three copies of the upgrade command, back to back, to the device's present address.
void SendUpgradeCommand(StationState& station, const sockaddr_in& destination);

}  // namespace quillane
