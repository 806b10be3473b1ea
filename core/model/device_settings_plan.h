#pragma once

// Address settings given per device (an address plan from a spreadsheet)
// instead of worked out from one entry and an edit type.

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "support/ipv4.h"

namespace quillane {

// Each setting not given is kept as the device has it. An address plan's
// entry, and the settings the operator confirmed in the IP settings dialog.
struct DeviceSettings {
    std::optional<IPv4Address> ip, mask, gateway, server, standby;

    // By position, in the order of the dialog's rows and a plan's columns
    // (ip, mask, gateway, server, standby).
    static constexpr int kCount = 5;
    std::optional<IPv4Address>& operator[](int setting) { return this->*kMembers[setting]; }
    const std::optional<IPv4Address>& operator[](int setting) const { return this->*kMembers[setting]; }
    bool operator==(const DeviceSettings&) const = default;

private:
    static constexpr std::optional<IPv4Address> DeviceSettings::*kMembers[kCount] = {
        &DeviceSettings::ip, &DeviceSettings::mask, &DeviceSettings::gateway, &DeviceSettings::server,
        &DeviceSettings::standby};
};

// By device number.
using DeviceSettingsPlan = std::unordered_map<int32_t, DeviceSettings>;

}  // namespace quillane
