#include "runs/device_commands.h"

#include "link/device_link.h"
#include "link/protocol.h"

namespace quillane {

void SendUpgradeCommand(const DeviceLink& link, IPv4Address device) {
    link.SendTo(device, BuildUpgradeCommand(), kUpgradeCommandCopies);
}

}  // namespace quillane
