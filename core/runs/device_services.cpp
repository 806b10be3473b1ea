#include "runs/device_services.h"

#include "link/adapter_multicast.h"
#include "link/adapter_query.h"
#include "runs/command_loop.h"
#include "runs/station_state.h"

namespace quillane {

inline constexpr uint32_t kLoopStopWaitMs = 2000;
// Room for the burst of a large fleet answering all three search probes at
// once: each small datagram costs far more than its size in buffer space.
inline constexpr int kDeviceReceiveBufferBytes = 8 << 20;

namespace {

// Beyond the size every endpoint asks for, and above net.core.rmem_max where
// the process may (it needs the privilege for the boot and TFTP ports anyway);
// otherwise as much as the system grants, never less than before.
void EnlargeReceiveBuffer(SocketHandle socket) {
#ifdef SO_RCVBUFFORCE
    if (SocketSetIntOption(socket, SOL_SOCKET, SO_RCVBUFFORCE, kDeviceReceiveBufferBytes)) return;
#endif
    SocketSetIntOption(socket, SOL_SOCKET, SO_RCVBUF, kDeviceReceiveBufferBytes);
}

}  // namespace

// Failures leave the endpoint without a working socket; like the window, the
// station starts its thread all the same and reports nothing.
void StartDeviceEndpoint(StationState& station) {
    const StationNetwork& network = station.Network();
    if (UdpEndpointOpen(station.m_DeviceEndpoint, network.devicePort, &QueueDeviceDatagram, &station) == 1) {
        EnlargeReceiveBuffer(station.m_DeviceEndpoint.socket);
    }
    JoinReplyGroup(station);
    UdpEndpointStart(station.m_DeviceEndpoint);
}

void JoinReplyGroup(StationState& station) {
    const uint32_t group = htonl(station.Network().replyGroup);
    UdpEndpointJoinGroup(station.m_DeviceEndpoint, group, htonl(INADDR_ANY));
    if (IsMulticastAddress(group))
        JoinGroupOnEachInterface(station.m_DeviceEndpoint.socket, group, EthernetInterfaceAddresses());
}

void StartCommandLoop(StationState& station) {
    station.m_bLoopRun = 1;
    station.m_bSearchRequest = 0;
    station.m_bUpgrading = 0;
    station.m_bUpgradeContinue = 0;
    station.m_bModifyRequest = 0;
    station.m_bModifyContinue = 0;
    station.m_hLoopEvent.Reset();
    // Without a thread requests are accepted but never carried out.
    station.m_hLoopThread.Start("command loop", [&station] { CommandLoopThread(&station); });
}

void StopCommandLoop(StationState& station) {
    station.m_bLoopRun = 0;
    station.m_hLoopEvent.Set();
    station.m_hLoopThread.Stop(kLoopStopWaitMs);
}

}  // namespace quillane
