#pragma once

// Whether a device lies in a subnet the workstation is attached to, and which
// of the workstation's addresses faces it.

#include <string>
#include <vector>

#include "support/ipv4.h"

namespace quillane {

// Compares the device's network with each local address in order, under the
// longer of the device's mask and the local mask (the numerically larger one).
// Returns the index of the first match, or -1. Indexes without an address
// (lists of unequal length) are skipped.
int FindFacingLocalAddress(IPv4Address deviceAddress, IPv4Address deviceMask,
                           const std::vector<std::string>& localIps,
                           const std::vector<std::string>& localMasks);

// The same with the device's address and mask as dotted text (table cells).
int FindFacingLocalAddress(const std::string& deviceAddress, const std::string& deviceMask,
                           const std::vector<std::string>& localIps,
                           const std::vector<std::string>& localMasks);

}  // namespace quillane
