#pragma once

// The station's state: every long-lived value of the main window (flags and
// stamps, endpoints, the received-datagram queue and its lock, the loop's
// thread and event, the TFTP server, the local address lists, the list lock,
// the language, the type filter, the confirmed change values, the device
// table) with its accessors. The workers below the station (command loop,
// reply handling, search, address change, upgrade steps, boot replies,
// transfer callbacks) take this state; the station builds on it and adds the
// handlers, the life cycle and the settings.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "link/device_link.h"
#include "link/local_adapters.h"
#include "link/neighbour_table.h"
#include "link/received_datagram.h"
#include "link/udp_endpoint.h"
#include "model/device_settings_plan.h"
#include "model/device_table.h"
#include "model/language.h"
#include "model/run_events.h"
#include "model/station_view.h"
#include "model/type_filter.h"
#include "runs/loop_events.h"
#include "runs/run_requests.h"
#include "runs/upgrade_phase.h"
#include "support/bounded_thread.h"
#include "support/event.h"
#include "support/locks.h"

namespace quillane {

class TftpServer;
class UpgradeRun;

// Network endpoints and addresses the station's services use. The application
// uses the real ones; tests put loopback ports and addresses of their own here.
struct StationNetwork {
    uint16_t devicePort = 25005;         // device endpoint, replies arrive here
    uint16_t commandPort = 25000;        // devices listen here
    uint32_t replyGroup = 0xE0000300;    // 224.0.3.0, host order
    uint32_t commandGroup = 0xE0000200;  // 224.0.2.0, host order
    uint16_t bootServerPort = 67;
    uint16_t bootClientPort = 68;
    uint32_t bootReplyAddress = 0xFFFFFFFF;  // 255.255.255.255, host order
    uint16_t tftpPort = 69;
    uint32_t tftpMinPort = 25020;
    uint32_t tftpMaxPort = 65530;
    bool startServices = true;     // false: initialise without sockets or threads
    bool firmwareServices = true;  // false: no TFTP server and boot responder (no upgrades)
};

// Whether the station keeps its settings in the files beside the executable
// (the window) or reads and writes none (the command-line tool, whose
// settings are its arguments).
enum class SettingsFiles { Used, None };

// The device-type filter flags (m_bPlayDev...) come from the base, so the
// device-type catalogue can name them.
// It hears of the TFTP transfers (TransferObserver) and hands them to the
// command loop as events.
class StationState : public TypeFilterFlags, public TransferObserver {
public:
    StationState(StationView& view, std::string appDir, StationNetwork network = StationNetwork{},
                 SettingsFiles settings = SettingsFiles::Used);
    ~StationState();
    StationState(const StationState&) = delete;
    StationState& operator=(const StationState&) = delete;

    StationView& View() { return m_view; }
    const StationNetwork& Network() const { return m_network; }
    bool UsesSettingsFiles() const { return m_settingsFiles == SettingsFiles::Used; }

    // Local addresses: replaced as a whole; readers on any thread get a snapshot.
    // The refresh asks the adapters, or `m_queryLocalAddresses` when set (tests).
    void RefreshLocalAddresses();
    std::function<LocalAddressLists()> m_queryLocalAddresses;
    std::shared_ptr<const LocalAddressLists> LocalAddresses() const;
    void SetLocalAddresses(LocalAddressLists lists);

    // Who hears of runs beginning and ending (null: nobody). Set it before the
    // services start or while no run is active.
    void SetRunObserver(RunObserver* observer);
    void NotifyRunStarted(RunKind kind);
    void NotifyRunEnded(RunKind kind);

    // Requests for the command loop, each posted with its flag raised by the
    // thread that took the press and taken by the loop when it starts the run.
    // A request posted while the last one waits replaces it.
    void RequestSearch(const SearchRequest& request);
    std::optional<SearchRequest> TakeSearchRequest();
    void RequestAddressChange(AddressChangeRequest request);
    std::optional<AddressChangeRequest> TakeAddressChangeRequest();
    // Events for the command loop (any thread): queued in order, the loop woken.
    void PostLoopEvent(LoopEvent event);
    std::optional<LoopEvent> TakeLoopEvent();
    // TransferObserver, on the transfer threads: each becomes a loop event.
    void TransferProgressed(const sockaddr_in& client, const TransferDelivery& delivery) override;
    void TransferFinished(const sockaddr_in& client, bool delivered) override;

    // The upgrade run's request, kept while the run lasts.
    void SetUpgradeRequest(UpgradeRequest request);
    UpgradeRequest CurrentUpgradeRequest() const;

    // The firmware path; read by the boot responder and the TFTP server on
    // their threads while the window may change it.
    std::string UpdateFile() const;
    void SetUpdateFile(std::string path);

    // --- members of the main window, in the window's declaration order ---
    std::string m_strAppDir;
    std::atomic<Language> m_nLanguage{kChinese};
    ST_UDP_ENDPOINT_tag m_DeviceEndpoint;  // declared first: destroyed after the boot endpoint
    ST_UDP_ENDPOINT_tag m_BootEndpoint;
    DeviceLink m_DeviceLink;  // sends on m_DeviceEndpoint
    LocalMutex m_QueueLock;
    std::deque<ST_CMD_RUN_tag> m_CmdQueue;
    std::deque<LoopEvent> m_loopEvents;  // under m_QueueLock too
    BoundedThread m_hLoopThread;
    std::atomic<int> m_bLoopRun{0};
    Event m_hLoopEvent;
    int m_nFindType = 0;
    std::atomic<int> m_bSearchRequest{0};
    std::unique_ptr<TftpServer> m_pTftpServer;
    // Raised by the Upgrade press with m_bUpgradeContinue; cleared by the
    // command loop when the run ends. The operator's Stop clears m_bUpgradeContinue.
    std::atomic<int> m_bUpgrading{0};
    // The device slot of the run (upgrade_phase.h): written by the command loop
    // only; atomic because the TFTP listener's admission reads the current row.
    // Rows keep their places while a run lasts.
    std::atomic<uint32_t> m_dwUpgradeTick{0};
    std::atomic<int> m_bUpgradeContinue{0};
    std::atomic<int32_t> m_nUpgradeRow{0};
    std::atomic<UpgradePhase> m_upgradePhase{UpgradePhase::kNone};
    // The run itself (upgrade_run.h): the command loop's alone. The values
    // above show its first device in flight to the other threads.
    std::unique_ptr<UpgradeRun> m_upgradeRun;
    // After a device's command: its hardware address from the neighbour table
    // (a bounded wait), nullopt when it could not be learned. Tests replace it.
    std::function<std::optional<HardwareAddress>(IPv4Address)> m_learnHardwareAddress =
        [](IPv4Address device) { return LearnHardwareAddress(device); };
    LocalMutex m_ListLock;
    std::atomic<int> m_bModifyRequest{0};
    std::atomic<int> m_bModifyContinue{0};
    std::atomic<uint32_t> m_dwModifyTick{0};
    // The IP settings dialog's last confirmed entries (GUI thread only); the
    // batch works from its request.
    int m_bChangeIP = 0, m_bChangeMask = 0, m_bChangeGateway = 0, m_bChangeServer = 0,
        m_bChangeBackupServer = 0;
    int m_nEditType = 0;
    uint32_t m_dwNewIP = 0, m_dwNewMask = 0, m_dwNewGateway = 0, m_dwNewServer = 0, m_dwNewBackupServer = 0;
    DeviceTable m_DeviceList;

private:
    StationView& m_view;
    StationNetwork m_network;
    SettingsFiles m_settingsFiles;
    mutable std::mutex m_sharedTextMutex;  // guards the two members below
    std::string m_strUpdateFile;
    std::shared_ptr<const LocalAddressLists> m_localAddresses;
    mutable std::mutex m_requestMutex;  // guards the three requests
    std::optional<SearchRequest> m_searchRequest;
    std::optional<AddressChangeRequest> m_addressChangeRequest;
    UpgradeRequest m_upgradeRequest;
    std::mutex m_runObserverMutex;
    RunObserver* m_runObserver = nullptr;
};

}  // namespace quillane
