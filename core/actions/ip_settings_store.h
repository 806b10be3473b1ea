#pragma once

// "Ostrel.ini" in the executable's folder, section "Ostrel": the IP settings
// dialog's last confirmed entries.

#include <cstdint>
#include <string>

namespace quillane {

struct IpSettingsValues {
    uint32_t ip = 0, mask = 0, gateway = 0, server = 0, backupServer = 0;
    int ipCheck = 1, maskCheck = 1, gatewayCheck = 1, serverCheck = 1, backupServerCheck = 1;
    int editType = 0;
};
IpSettingsValues ReadIpSettings(const std::string& appDir);
void WriteIpSettings(const std::string& appDir, const IpSettingsValues& values);

}  // namespace quillane
