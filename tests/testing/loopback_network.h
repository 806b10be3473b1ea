#pragma once

#include <cstdint>

#include "station/station.h"

namespace quillane::test {

// The station's network on 127.0.0.1 only: every port the system's choice
// (0), groups and the boot reply address loopback, no service started by
// Initialise. Devices listen on `commandPort`; boot replies go to `bootReplyPort`.
inline StationNetwork LoopbackNetwork(uint16_t commandPort = 0, uint16_t bootReplyPort = 0) {
    constexpr uint32_t kLoopback = 0x7F000001;  // host order
    StationNetwork network;
    network.devicePort = 0;
    network.commandPort = commandPort;
    network.replyGroup = kLoopback;
    network.commandGroup = kLoopback;
    network.bootServerPort = 0;
    network.bootClientPort = bootReplyPort;
    network.bootReplyAddress = kLoopback;
    network.tftpPort = 0;
    network.tftpMinPort = 0;
    network.tftpMaxPort = 1;
    network.startServices = false;
    return network;
}

}  // namespace quillane::test
