#pragma once

// Values and rules of the IP settings dialog: what it opens with and what its
// OK accepts. The dialog itself only shows these and forwards the operator's input.

#include <cstdint>
#include <string>

#include "model/ip_settings_store.h"

namespace quillane {

// The current settings of the device the caller picked, number form; all 0 for none.
struct IpDeviceValues {
    uint32_t ip = 0, mask = 0, gateway = 0, server = 0, backupServer = 0;
    bool AnyNonZero() const { return (ip | mask | gateway | server | backupServer) != 0; }
};

inline constexpr int kEditTypeCount = 4;

// The file's entries, with all five device addresses in their place when any
// of them is non-zero (zeros included); an edit type outside 0..3 becomes 0.
IpSettingsValues InitialIpSettings(IpSettingsValues fromFile, const IpDeviceValues& device);

// Fields whose first octet OK checks, in checking order (the mask is never checked).
enum class CheckedField { kIP = 0, kGateway = 1, kServer = 2, kBackupServer = 3 };

// A device address's first octet must lie in 1..223 (no 0.x.x.x, no multicast or reserved).
bool FirstOctetAccepted(uint32_t address);

// The first ticked field whose first octet is rejected, as an index into the
// first-octet messages (CheckedField order); -1 when every check passes.
int FirstRejectedField(const IpSettingsValues& entered);

// OK: checks the entries; when they pass, writes them to "Ostrel.ini" in appDir
// and returns -1; otherwise writes nothing and returns the rejected field.
int ConfirmIpSettings(const std::string& appDir, const IpSettingsValues& entered);

// The keyboard command of the dialog's Keyboard button at its screen position.
std::string IpDialogKeyboardCommand(int buttonLeft, int buttonTop);

}  // namespace quillane
