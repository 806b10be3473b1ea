#include "model/ip_settings.h"

#include "model/texts.h"
#include "support/helper_program.h"

namespace quillane {
namespace {

constexpr int kAutomaticIncrease = 0;  // the edit type whose first device takes the entered address
constexpr uint32_t kLoopbackFirstOctet = 127;
constexpr uint32_t kFirstUnusedLastOctet = 250;

}  // namespace

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

std::optional<UnusableSetting> RejectedEntry(const IpSettingsValues& v, const IpDeviceValues& device) {
    const struct {
        int ticked;
        uint32_t address;
        SettingField field;
    } firstOctets[] = {{v.ipCheck, v.ip, SettingField::kIp},
                       {v.gatewayCheck, v.gateway, SettingField::kGateway},
                       {v.serverCheck, v.server, SettingField::kServer},
                       {v.backupServerCheck, v.backupServer, SettingField::kStandby}};
    for (const auto& check : firstOctets) {
        if (check.ticked != 0 && !FirstOctetAccepted(check.address))
            return UnusableSetting{check.field, SettingFault::kFirstOctet};
    }
    if (v.maskCheck != 0 && !IsContiguousMask(v.mask))
        return UnusableSetting{SettingField::kMask, SettingFault::kSplitMask};
    if (v.ipCheck == 0) return std::nullopt;
    if (v.ip >> 24 == kLoopbackFirstOctet) return UnusableSetting{SettingField::kIp, SettingFault::kLoopback};
    // Automatic increase gives the first device the entered address itself,
    // unless it lies at the end of its block (250 and up), where the run moves
    // on to the next block's .1, which is always a host's address.
    const bool firstAddressIsEntered =
        v.editType == kAutomaticIncrease && (v.ip & 0xFF) < kFirstUnusedLastOctet;
    const bool maskKnown = v.maskCheck != 0 || device.AnyNonZero();
    const uint32_t mask = v.maskCheck != 0 ? v.mask : device.mask;
    if (firstAddressIsEntered && maskKnown && IsContiguousMask(mask)) {
        if (const std::optional<SettingFault> fault = SubnetFault(v.ip, mask))
            return UnusableSetting{SettingField::kIp, *fault};
    }
    return std::nullopt;
}

std::optional<UnusableSetting> ConfirmIpSettings(const std::string& appDir, const IpSettingsValues& entered,
                                                 const IpDeviceValues& device) {
    const std::optional<UnusableSetting> rejected = RejectedEntry(entered, device);
    if (!rejected) WriteIpSettings(appDir, entered);
    return rejected;
}

IpSettingsRows RowsOfIpSettings(const IpSettingsValues& v) {
    return {{{v.ipCheck != 0, v.ip},
             {v.maskCheck != 0, v.mask},
             {v.gatewayCheck != 0, v.gateway},
             {v.serverCheck != 0, v.server},
             {v.backupServerCheck != 0, v.backupServer}}};
}

IpSettingsValues IpSettingsOfRows(const IpSettingsRows& rows, int editType) {
    IpSettingsValues v;
    int* checks[kIpSettingsRowCount] = {&v.ipCheck, &v.maskCheck, &v.gatewayCheck, &v.serverCheck,
                                        &v.backupServerCheck};
    uint32_t* addresses[kIpSettingsRowCount] = {&v.ip, &v.mask, &v.gateway, &v.server, &v.backupServer};
    for (size_t i = 0; i < rows.size(); ++i) {
        *checks[i] = rows[i].ticked ? 1 : 0;
        *addresses[i] = rows[i].address;
    }
    v.editType = editType;
    return v;
}

std::optional<MessageBoxText> ConfirmOrRefuseIpSettings(const std::string& appDir,
                                                        const IpSettingsValues& entered,
                                                        const IpDeviceValues& device, int language) {
    const std::optional<UnusableSetting> rejected = ConfirmIpSettings(appDir, entered, device);
    if (!rejected) return std::nullopt;
    return MessageBoxText{UnusableSettingMessage(*rejected, language), Texts(language).captionError};
}

std::string IpDialogKeyboardCommand(int buttonLeft, int buttonTop) {
    return KeyboardCommandLine(buttonLeft, buttonTop + 10);
}

}  // namespace quillane
