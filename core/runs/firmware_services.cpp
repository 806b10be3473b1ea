#include "runs/firmware_services.h"

#include <memory>

#include "link/tftp_server.h"
#include "runs/boot_responder.h"
#include "runs/station_state.h"
#include "support/exe_dir.h"

namespace quillane {

namespace {

// The executable's name placed in the station's folder: the log goes to the
// "log" folder there and carries the executable's base name.
std::string ExecutableInStationFolder(const StationState& station) {
    const std::string path = ExecutablePath();
    const size_t slash = path.find_last_of(kPathSeparator);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string folder = station.m_strAppDir;
    if (!folder.empty() && folder.back() != kPathSeparator) folder += kPathSeparator;
    return folder + (name.empty() ? "quillane" : name);
}

}  // namespace

void StartTftpServer(StationState& station) {
    auto server = std::make_unique<TftpServer>();
    const StationNetwork& network = station.Network();
    TftpServerSettings settings;
    settings.listenPort = network.tftpPort;
    settings.minPort = network.tftpMinPort;
    settings.maxPort = network.tftpMaxPort;
    settings.executablePath = ExecutableInStationFolder(station);
    settings.servedFile = [&station] { return station.UpdateFile(); };
    settings.observer = &station;
    settings.reservedClient = [&station] {
        return UpgradingDeviceAddress(station, station.m_nUpgradeRow.load());
    };
    server->Start(settings);
    station.m_pTftpServer = std::move(server);
}

void StartBootEndpoint(StationState& station) {
    ST_UDP_ENDPOINT_tag& endpoint = station.m_BootEndpoint;
    if (!UdpEndpointOpen(endpoint, station.Network().bootServerPort, OnBootRequest, &station)) return;
    SocketSetBroadcast(endpoint.socket, true);
    UdpEndpointStart(endpoint);
}

void StopTftpServer(StationState& station) {
    if (!station.m_pTftpServer) return;
    station.m_pTftpServer->Stop();
    // The stopped server is not deleted here: its log stays open for the
    // closing note ("stopped") of a station told to end by the system. It goes
    // with the station, after the endpoints. No lock either: the command loop may hold the list lock for a
    // whole range walk, and closing must not wait for it.
}

}  // namespace quillane
