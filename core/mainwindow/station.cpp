#include "mainwindow/station.h"

#include "firmware/tftp_server.h"

namespace quillane {

Station::Station(StationView& view, std::string appDir, StationNetwork network)
    : m_strAppDir(std::move(appDir)),
      m_view(view),
      m_network(network),
      m_localAddresses(std::make_shared<LocalAddressLists>()) {}

Station::~Station() {
    StopServices();
    // Drain what the receive thread queued and the loop never handled.
    while (true) {
        AutoLock lock(&m_QueueLock);
        if (m_CmdQueue.empty()) break;
        m_CmdQueue.pop_front();
    }
}

void Station::Initialise() {
    RefreshLocalAddresses();
    StartServices();
}

bool Station::Close() {
    if (m_bUpgradeContinue.load() == 1 || m_bUpgrading.load() == 1) return false;
    StopServices();
    return true;
}

std::shared_ptr<const LocalAddressLists> Station::LocalAddresses() const {
    std::lock_guard lock(m_sharedTextMutex);
    return m_localAddresses;
}

void Station::SetLocalAddresses(LocalAddressLists lists) {
    auto snapshot = std::make_shared<const LocalAddressLists>(std::move(lists));
    std::lock_guard lock(m_sharedTextMutex);
    m_localAddresses = std::move(snapshot);
}

std::string Station::UpdateFile() const {
    std::lock_guard lock(m_sharedTextMutex);
    return m_strUpdateFile;
}

void Station::SetUpdateFile(std::string path) {
    std::lock_guard lock(m_sharedTextMutex);
    m_strUpdateFile = std::move(path);
}

}  // namespace quillane
