#include "runs/transfer_callbacks.h"

#include <algorithm>
#include <string>

#include "link/tftp_server.h"
#include "model/texts.h"
#include "runs/station_state.h"
#include "runs/upgrade_step.h"
#include "support/tick_clock.h"

namespace quillane {

// The block counts are 64-bit: a file of up to 4 GiB in blocks of 8 bytes
// has more than 500 million blocks, and `nextBlock` * 100 overflows 32 bits.
int TransferPercent(uint32_t nextBlock, uint16_t blockSize, uint32_t fileSize) {
    if (blockSize == 0) return 0;
    const uint64_t total = (uint64_t{fileSize} + blockSize - 1) / blockSize;
    if (total == 0) return 0;
    const uint64_t percent = uint64_t{nextBlock} * 100 / total;
    // The last acknowledgements count past the last block (110% for ten blocks).
    return static_cast<int>(std::min<uint64_t>(percent, 100));
}

namespace {

bool ShowsPercent(const RowState& state, int percent) {
    return (state.status == RowStatus::kUpgrading || state.status == RowStatus::kUpgraded) &&
           state.percent == percent;
}

// Whether the client is the device the run is upgrading: only its progress
// renews the silence stamp and moves the bar, so a host that keeps reading
// the file cannot hold the run on a silent device.
bool IsCurrentDevice(const StationState& station, uint32_t clientAddress) {
    if (station.m_upgradePhase.load() == UpgradePhase::kNone) return false;
    const int current = station.m_nUpgradeRow.load();
    const DeviceTable& table = station.m_DeviceList;
    return current >= 0 && current < table.RowCount() &&
           table.RowAddress(current) == IPv4Address::FromNetworkOrder(clientAddress);
}

}  // namespace

int FindClientRow(const DeviceTable& table, int row, uint32_t clientAddress) {
    const IPv4Address client = IPv4Address::FromNetworkOrder(clientAddress);
    if (row >= 0 && row < table.RowCount() && table.RowAddress(row) == client) return row;
    for (int r = 0; r < table.RowCount(); ++r)
        if (table.RowAddress(r) == client) return r;
    return -1;
}

void HandleTransferProgress(StationState& station, uint32_t client, const TransferDelivery& delivery) {
    // Without a run no transfer is the current device's: the bar stays as it
    // is (a range search may be showing its walk on it).
    if (station.m_bUpgrading.load() != 1) return;
    const int percent = TransferPercent(delivery.nextBlock, delivery.blockSize, delivery.fileSize);
    {
        AutoLock lock(&station.m_ListLock);
        DeviceTable& table = station.m_DeviceList;
        const int target = FindClientRow(table, station.m_nUpgradeRow.load(), client);
        // Most blocks leave the percentage as it was: the view hears only of changes.
        if (target >= 0 && !ShowsPercent(table.RowStateOf(target), percent)) {
            const RowState upgrading = RowState::Upgrading(percent);
            table.SetRowState(target, upgrading, StateText(upgrading, station.m_nLanguage));
        }
        if (!IsCurrentDevice(station, client)) return;
        station.m_dwUpgradeTick = GetTickCount();
        station.m_upgradePhase = UpgradePhase::kTransferring;
    }
    station.View().SetProgress(percent);
}

void HandleTransferEnd(StationState& station, uint32_t client, bool delivered) {
    if (station.m_bUpgrading.load() != 1) return;  // no run to move on
    AutoLock lock(&station.m_ListLock);
    const int current = station.m_nUpgradeRow.load();
    DeviceTable& table = station.m_DeviceList;
    if (station.m_upgradePhase.load() == UpgradePhase::kNone || current < 0 || current >= table.RowCount() ||
        table.RowAddress(current) != IPv4Address::FromNetworkOrder(client))
        return;
    if (delivered) {
        // The text keeps the percentage last shown.
        table.SetRowState(current, RowState::Upgraded(table.RowStateOf(current).percent), std::nullopt);
    } else {
        const RowState cut = RowState::Failed(FailureReason::kTransferCut);
        table.SetRowState(current, cut, StateText(cut, station.m_nLanguage));
    }
    if (station.m_bUpgradeContinue.load() == 1) {
        ContinueUpgradeRun(station, current + 1);
    } else {
        EndUpgradeRun(station);
    }
}

}  // namespace quillane
