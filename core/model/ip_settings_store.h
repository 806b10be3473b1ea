#pragma once

// "Ostrel.ini" in the executable's folder, section "Ostrel": the IP settings
// dialog's last confirmed entries.

#include <cstdint>
#include <string>

namespace quillane {

struct IpSettingsValues {
    uint32_t ip = 0, mask = 0, gateway = 0, server = 0, backupServer = 0;
    int ipCheck = 1, maskCheck = 1, gatewayCheck = 1, serverCheck = 1, backupServerCheck = 1;
    int editType = 0;  // as stored; the dialog takes a value outside 0-3 as 0
    bool operator==(const IpSettingsValues&) const = default;
};
// Missing keys, file or damaged values: the defaults above (damaged text reads 0).
IpSettingsValues ReadIpSettings(const std::string& appDir);
// Writes all eleven keys as "%d" (addresses as signed 32-bit decimals) in one
// step; false when the file could not be written.
bool WriteIpSettings(const std::string& appDir, const IpSettingsValues& values);

}  // namespace quillane
