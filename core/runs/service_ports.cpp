#include "runs/service_ports.h"

#include "link/tftp_server.h"
#include "runs/station_state.h"

namespace quillane {
namespace {

uint16_t BoundPort(const StationState& station, StationService service) {
    switch (service) {
        case StationService::kDeviceLink:
            return station.m_DeviceLink.LocalPort();
        case StationService::kBootResponder:
            return SocketLocalPort(station.m_BootEndpoint.socket);
        case StationService::kTftpServer: {
            const TftpServer* tftp = station.m_pTftpServer.get();
            const bool open =
                tftp && tftp->listenSocket.load() != kInvalidSocket && tftp->running.load() == 1;
            return open ? tftp->ListenPort() : 0;
        }
    }
    return 0;
}

uint16_t ConfiguredPort(const StationNetwork& network, StationService service) {
    switch (service) {
        case StationService::kDeviceLink:
            return network.devicePort;
        case StationService::kBootResponder:
            return network.bootServerPort;
        case StationService::kTftpServer:
            return network.tftpPort;
    }
    return 0;
}

}  // namespace

ServicePort CheckServicePort(const StationState& station, StationService service) {
    const uint16_t configured = ConfiguredPort(station.Network(), service);
    const uint16_t bound = BoundPort(station, service);
    // A configured port of 0 is the system's choice (tests): any bound port holds it.
    if (bound != 0 && (configured == 0 || bound == configured))
        return {service, configured, BindFailure::None};
    const BindFailure probed = configured == 0 ? BindFailure::Other : ProbeUdpBind(configured);
    return {service, configured,
            probed == BindFailure::None ? BindFailure::Other : probed};  // free now, but not ours
}

std::optional<ServicePort> FirstServiceWithoutPort(const StationState& station) {
    const bool firmware = station.Network().firmwareServices;
    for (StationService service :
         {StationService::kDeviceLink, StationService::kBootResponder, StationService::kTftpServer}) {
        if (service != StationService::kDeviceLink && !firmware) break;
        const ServicePort checked = CheckServicePort(station, service);
        if (checked.why != BindFailure::None) return checked;
    }
    return std::nullopt;
}

std::string DescribePortFailure(BindFailure why, int language) {
    const bool zh = language == 1;
    switch (why) {
        case BindFailure::InUse:
            return zh ? "已被其他程序占用" : "is already used by another program";
        case BindFailure::NotPermitted:
            return zh ? "需要管理员权限(root或CAP_NET_BIND_SERVICE)"
                      : "needs administrator rights (root or the CAP_NET_BIND_SERVICE capability)";
        case BindFailure::None:
        case BindFailure::Other:
            break;
    }
    return zh ? "无法使用" : "could not be opened";
}

}  // namespace quillane
