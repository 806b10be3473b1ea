#include "model/ip_settings.h"

#include "support/helper_program.h"

namespace quillane {

IpSettingsValues InitialIpSettings(IpSettingsValues values, const IpDeviceValues& device) {
    if (values.editType < 0 || values.editType >= kEditTypeCount) values.editType = 0;
    if (device.AnyNonZero()) {
        values.ip = device.ip;
        values.mask = device.mask;
        values.gateway = device.gateway;
        values.server = device.server;
        values.backupServer = device.backupServer;
    }
    return values;
}

bool FirstOctetAccepted(uint32_t address) {
    const uint32_t first = address >> 24;
    return first >= 1 && first <= 223;
}

int FirstRejectedField(const IpSettingsValues& v) {
    const struct {
        int ticked;
        uint32_t address;
    } checks[] = {{v.ipCheck, v.ip},
                  {v.gatewayCheck, v.gateway},
                  {v.serverCheck, v.server},
                  {v.backupServerCheck, v.backupServer}};
    for (int i = 0; i < 4; ++i) {
        if (checks[i].ticked != 0 && !FirstOctetAccepted(checks[i].address)) return i;
    }
    return -1;
}

int ConfirmIpSettings(const std::string& appDir, const IpSettingsValues& entered) {
    const int rejected = FirstRejectedField(entered);
    if (rejected < 0) WriteIpSettings(appDir, entered);
    return rejected;
}

std::string IpDialogKeyboardCommand(int buttonLeft, int buttonTop) {
    return KeyboardCommandLine(buttonLeft, buttonTop + 10);
}

}  // namespace quillane
