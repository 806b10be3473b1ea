#include "runs/station_state.h"

#include <new>
#include <utility>

#include "link/tftp_server.h"
#include "runs/upgrade_run.h"
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

void StationState::SetRunObserver(RunObserver* observer) {
    std::lock_guard lock(m_runObserverMutex);
    m_runObserver = observer;
}

void StationState::NotifyRunStarted(RunKind kind) {
    std::lock_guard lock(m_runObserverMutex);
    if (m_runObserver) m_runObserver->RunStarted(kind);
}

void StationState::NotifyRunEnded(RunKind kind) {
    std::lock_guard lock(m_runObserverMutex);
    if (m_runObserver) m_runObserver->RunEnded(kind);
}

void StationState::RequestSearch(const SearchRequest& request) {
    {
        std::lock_guard lock(m_requestMutex);
        m_searchRequest = request;
    }
    m_bSearchRequest = 1;
    m_hLoopEvent.Set();
}

std::optional<SearchRequest> StationState::TakeSearchRequest() {
    std::lock_guard lock(m_requestMutex);
    return std::exchange(m_searchRequest, std::nullopt);
}

// The request is in place before the flags: the loop takes it once it sees
// them. The batch stops when it finds m_bModifyContinue at 0, so that flag is
// raised first.
void StationState::RequestAddressChange(AddressChangeRequest request) {
    {
        std::lock_guard lock(m_requestMutex);
        m_addressChangeRequest = std::move(request);
    }
    m_bModifyContinue = 1;
    m_bModifyRequest = 1;
    m_hLoopEvent.Set();
}

std::optional<AddressChangeRequest> StationState::TakeAddressChangeRequest() {
    std::lock_guard lock(m_requestMutex);
    return std::exchange(m_addressChangeRequest, std::nullopt);
}

void StationState::PostLoopEvent(LoopEvent event) {
    try {
        AutoLock lock(&m_QueueLock);
        const size_t waiting = m_loopEvents.size();
        if (waiting >= kMaxQueuedLoopEvents) return;
        if (std::holds_alternative<TransferProgressEvent>(event) && waiting >= kMaxQueuedProgressEvents)
            return;
        m_loopEvents.push_back(std::move(event));
    } catch (const std::bad_alloc&) {
        return;  // dropped like a flooded one
    }
    m_hLoopEvent.Set();
}

std::optional<LoopEvent> StationState::TakeLoopEvent() {
    AutoLock lock(&m_QueueLock);
    if (m_loopEvents.empty()) return std::nullopt;
    LoopEvent event = std::move(m_loopEvents.front());
    m_loopEvents.pop_front();
    return event;
}

void StationState::TransferProgressed(const sockaddr_in& client, const TransferDelivery& delivery) {
    PostLoopEvent(TransferProgressEvent{client.sin_addr.s_addr, delivery});
}

void StationState::TransferFinished(const sockaddr_in& client, bool delivered) {
    PostLoopEvent(TransferEndEvent{client.sin_addr.s_addr, delivered});
}

void StationState::SetUpgradeRequest(UpgradeRequest request) {
    std::lock_guard lock(m_requestMutex);
    m_upgradeRequest = std::move(request);
}

UpgradeRequest StationState::CurrentUpgradeRequest() const {
    std::lock_guard lock(m_requestMutex);
    return m_upgradeRequest;
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
