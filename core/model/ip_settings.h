#pragma once

// Values and rules of the IP settings dialog: what it opens with and what its
// OK accepts. The dialog itself only shows these and forwards the operator's input.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/address_rules.h"
#include "model/ip_settings_store.h"
#include "model/message_box_text.h"

namespace quillane {

// The current settings of the device the caller picked, number form; all 0 for none.
struct IpDeviceValues {
    uint32_t ip = 0, mask = 0, gateway = 0, server = 0, backupServer = 0;
    bool AnyNonZero() const { return (ip | mask | gateway | server | backupServer) != 0; }
};

inline constexpr int kEditTypeCount = 4;

// The dialog's five address rows in their order (IP address, mask, gateway,
// server, standby server): whether the row's "Modify" box is ticked, and its
// address. The dialog shows and reads its eleven entries through these.
struct IpSettingsRow {
    bool ticked = false;
    uint32_t address = 0;
};
inline constexpr int kIpSettingsRowCount = 5;
using IpSettingsRows = std::array<IpSettingsRow, kIpSettingsRowCount>;

IpSettingsRows RowsOfIpSettings(const IpSettingsValues& values);
IpSettingsValues IpSettingsOfRows(const IpSettingsRows& rows, int editType);

// The file's entries, with all five device addresses in their place when any
// of them is non-zero (zeros included); an edit type outside 0..3 becomes 0.
IpSettingsValues InitialIpSettings(IpSettingsValues fromFile, const IpDeviceValues& device);

// OK's checks of the entered values, each ticked field taken as a new value
// for every chosen device: first the first octet of the IP address, gateway,
// server and standby server (in that order, as the dialog always checked
// them), then a contiguous mask, an IP address that is not loopback, and, for
// automatic increase, a first address that is neither the network nor the
// broadcast address of its subnet under the entered mask, or under the shown
// device's own when the mask is kept. With a kept mask and no device shown,
// or with an edit type that keeps some of each device's own octets, the
// subnet is judged per device by the batch. The first fault; nullopt when OK may save.
std::optional<UnusableSetting> RejectedEntry(const IpSettingsValues& entered, const IpDeviceValues& device);

// OK: checks the entries; when they pass, writes them to "Ostrel.ini" in appDir
// and returns nullopt; otherwise writes nothing and returns the fault.
std::optional<UnusableSetting> ConfirmIpSettings(const std::string& appDir, const IpSettingsValues& entered,
                                                 const IpDeviceValues& device);

// The dialog's OK as both windows run it: ConfirmIpSettings, and for entries
// it refuses the message box that tells the operator why (then the dialog stays open).
std::optional<MessageBoxText> ConfirmOrRefuseIpSettings(const std::string& appDir,
                                                        const IpSettingsValues& entered,
                                                        const IpDeviceValues& device, int language);

// The keyboard command of the dialog's Keyboard button at its screen position.
std::string IpDialogKeyboardCommand(int buttonLeft, int buttonTop);

}  // namespace quillane
