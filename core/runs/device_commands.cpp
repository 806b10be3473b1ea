#include "runs/device_commands.h"

#include "link/protocol.h"
#include "model/station_state.h"

namespace quillane {

int SendAddressChange(StationState& station, const sockaddr_in& destination, int32_t deviceNumber,
                      uint32_t presentIp, uint32_t serverIp, uint32_t standbyServerIp, uint32_t newIp,
                      uint32_t gateway, uint32_t mask) {
    const Datagram command =
        BuildGroupAddressChange(deviceNumber, {presentIp, serverIp, standbyServerIp, newIp, gateway, mask});
    return SocketSendTo(station.m_DeviceEndpoint.socket, command.data(), command.size(), destination);
}

void SendUpgradeCommand(StationState& station, const sockaddr_in& destination) {
    const Datagram command = BuildUpgradeCommand();
    for (int copy = 0; copy < 3; ++copy) {
        SocketSendTo(station.m_DeviceEndpoint.socket, command.data(), command.size(), destination);
    }
}

}  // namespace quillane
