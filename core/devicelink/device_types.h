#pragma once

// The device type codes of the typed search reply and the type filter that
// admits each of them.

#include <cstdint>
#include <optional>
#include <span>

namespace quillane {

class Station;

struct DeviceTypeInfo {
    int32_t code;
    int filterIndex;        // position among the eleven filter flags (the window's order)
    const char* filterKey;  // settings key of the check box that admits the type
};

// The eleven codes, ascending. Code 6310 (ceiling speaker) is admitted by its
// hidden check box but shown as an unknown device.
std::span<const DeviceTypeInfo> DeviceTypes();
// Nothing for a code that is not a device type.
std::optional<DeviceTypeInfo> FindDeviceType(int32_t code);
// True when the station's filter flag for the type is set (non-zero).
bool FilterAdmits(const Station& station, const DeviceTypeInfo& type);

}  // namespace quillane
