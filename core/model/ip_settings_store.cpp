#include "model/ip_settings_store.h"

#include "support/exe_dir.h"
#include "support/profile.h"

namespace quillane {
namespace {

constexpr const char* kSection = "Ostrel";

std::string IpSettingsPath(const std::string& appDir) {
    return SettingsFilePath(appDir, "Ostrel.ini");
}

uint32_t ReadAddress(const std::string& path, const char* key) {
    return static_cast<uint32_t>(ReadProfileInt(path, kSection, key, 0));
}

// Signed decimal, as "%d" writes it.
std::string Decimal(int32_t value) {
    return std::to_string(value);
}
std::string Decimal(uint32_t address) {
    return std::to_string(static_cast<int32_t>(address));
}

}  // namespace

IpSettingsValues ReadIpSettings(const std::string& appDir) {
    const std::string path = IpSettingsPath(appDir);
    IpSettingsValues v;
    v.ip = ReadAddress(path, "IP");
    v.mask = ReadAddress(path, "Mask");
    v.gateway = ReadAddress(path, "GateWay");
    v.server = ReadAddress(path, "ServerIP");
    v.backupServer = ReadAddress(path, "BackServerIP");
    v.ipCheck = ReadProfileInt(path, kSection, "IPCheck", 1);
    v.maskCheck = ReadProfileInt(path, kSection, "MaskCheck", 1);
    v.gatewayCheck = ReadProfileInt(path, kSection, "GateWayCheck", 1);
    v.serverCheck = ReadProfileInt(path, kSection, "ServerIPCheck", 1);
    v.backupServerCheck = ReadProfileInt(path, kSection, "BackServerIPCheck", 1);
    v.editType = ReadProfileInt(path, kSection, "EditType", 0);
    return v;
}

bool WriteIpSettings(const std::string& appDir, const IpSettingsValues& v) {
    // The order in which the dialog saves: the five boxes, the five addresses,
    // the edit type. A new file keeps this order.
    const ProfileEntry entries[] = {
        {"IPCheck", Decimal(v.ipCheck)},
        {"MaskCheck", Decimal(v.maskCheck)},
        {"GateWayCheck", Decimal(v.gatewayCheck)},
        {"ServerIPCheck", Decimal(v.serverCheck)},
        {"BackServerIPCheck", Decimal(v.backupServerCheck)},
        {"IP", Decimal(v.ip)},
        {"Mask", Decimal(v.mask)},
        {"GateWay", Decimal(v.gateway)},
        {"ServerIP", Decimal(v.server)},
        {"BackServerIP", Decimal(v.backupServer)},
        {"EditType", Decimal(v.editType)},
    };
    return WriteProfileStrings(IpSettingsPath(appDir), kSection, entries);
}

}  // namespace quillane
