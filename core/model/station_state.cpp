#include "model/station_state.h"

#include "link/tftp_server.h"
#include "support/exe_dir.h"

namespace quillane {

namespace {

std::string WithTrailingSeparator(std::string dir) {
    if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
    return dir;
}

}  // namespace

StationState::StationState(StationView& view, std::string appDir, StationNetwork network,
                           SettingsFiles settings)
    : m_strAppDir(WithTrailingSeparator(std::move(appDir))),
      m_DeviceLink(m_DeviceEndpoint, network.commandPort),
      m_view(view),
      m_network(network),
      m_settingsFiles(settings),
      m_localAddresses(std::make_shared<LocalAddressLists>()) {}

// Defined here, where the TFTP server is a complete type.
StationState::~StationState() = default;

void StationState::RefreshLocalAddresses() {
    SetLocalAddresses(m_queryLocalAddresses ? m_queryLocalAddresses() : QueryLocalAddresses());
}

std::shared_ptr<const LocalAddressLists> StationState::LocalAddresses() const {
    std::lock_guard lock(m_sharedTextMutex);
    return m_localAddresses;
}

void StationState::SetLocalAddresses(LocalAddressLists lists) {
    auto snapshot = std::make_shared<const LocalAddressLists>(std::move(lists));
    std::lock_guard lock(m_sharedTextMutex);
    m_localAddresses = std::move(snapshot);
}

std::string StationState::UpdateFile() const {
    std::lock_guard lock(m_sharedTextMutex);
    return m_strUpdateFile;
}

void StationState::SetUpdateFile(std::string path) {
    std::lock_guard lock(m_sharedTextMutex);
    m_strUpdateFile = std::move(path);
}

}  // namespace quillane
