#pragma once

// Address settings given per device (an address plan from a spreadsheet)
// instead of worked out from one entry and an edit type.

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "support/ipv4.h"

namespace quillane {

// Each setting not given is kept as the device has it.
struct DeviceSettings {
    std::optional<IPv4Address> ip, mask, gateway, server, standby;
};

// By device number.
using DeviceSettingsPlan = std::unordered_map<int32_t, DeviceSettings>;

}  // namespace quillane
