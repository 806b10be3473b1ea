#include "runs/transfer_callbacks.h"

#include <algorithm>
#include <string>

#include "link/tftp_server.h"
#include "model/texts.h"
#include "runs/station_state.h"
#include "runs/upgrade_run.h"
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

}  // namespace

int FindClientRow(const DeviceTable& table, int row, uint32_t clientAddress) {
    const IPv4Address client = IPv4Address::FromNetworkOrder(clientAddress);
    if (row >= 0 && row < table.RowCount() && table.RowAddress(row) == client) return row;
    for (int r = 0; r < table.RowCount(); ++r)
        if (table.RowAddress(r) == client) return r;
    return -1;
}

// Only a device in flight renews its own silence (the client address is the
// one its boot answer gave it), so a host that keeps reading the file cannot
// hold the run on a silent device.
void HandleTransferProgress(StationState& station, uint32_t client, const TransferDelivery& delivery) {
    // Without a run no transfer is a device's: the bar stays as it is (a
    // range search may be showing its walk on it).
    if (station.m_bUpgrading.load() != 1) return;
    const int percent = TransferPercent(delivery.nextBlock, delivery.blockSize, delivery.fileSize);
    bool showDevicePercent = false;
    {
        AutoLock lock(&station.m_ListLock);
        DeviceTable& table = station.m_DeviceList;
        const int target = FindClientRow(table, station.m_nUpgradeRow.load(), client);
        // Most blocks leave the percentage as it was: the view hears only of changes.
        if (target >= 0 && !ShowsPercent(table.RowStateOf(target), percent)) {
            const RowState upgrading = RowState::Upgrading(percent);
            table.SetRowState(target, upgrading, StateText(upgrading, station.m_nLanguage));
        }
        UpgradeRun* run = station.m_upgradeRun.get();
        if (!run) return;
        const IPv4Address address = IPv4Address::FromNetworkOrder(client);
        const std::optional<size_t> device = run->DeviceAt(address);
        if (!device || run->Slots().State(*device) != SlotState::InFlight) return;
        run->Slots().TransferProgress(address, percent / 100.0, GetTickCount());
        run->SetPhase(*device, UpgradePhase::kTransferring);
        PublishUpgradeSlot(station);
        if (run->SeveralAtOnce())
            ShowUpgradeRunFraction(station);
        else
            showDevicePercent = true;
    }
    // One after another the bar shows the device's own percentage.
    if (showDevicePercent) station.View().SetProgress(percent);
}

void HandleTransferEnd(StationState& station, uint32_t client, bool delivered) {
    if (station.m_bUpgrading.load() != 1) return;  // no run to move on
    AutoLock lock(&station.m_ListLock);
    UpgradeRun* run = station.m_upgradeRun.get();
    if (!run) return;
    const IPv4Address address = IPv4Address::FromNetworkOrder(client);
    const std::optional<size_t> device = run->DeviceAt(address);
    if (!device) return;  // a stray transfer: no device of this run
    UpgradeSlots& slots = run->Slots();
    const SlotState before = slots.State(*device);
    slots.TransferFinished(address, delivered);
    const SlotState after = slots.State(*device);
    DeviceTable& table = station.m_DeviceList;
    const int row = run->Row(*device);
    if (after == SlotState::Succeeded && before == SlotState::InFlight) {
        // The text keeps the percentage last shown.
        table.SetRowState(row, RowState::Upgraded(table.RowStateOf(row).percent), std::nullopt);
    } else if (after == SlotState::Succeeded && before == SlotState::Failed) {
        // It timed out and delivered late: it has succeeded after all.
        const RowState late = RowState::Upgraded(100);
        table.SetRowState(row, late, StateText(late, station.m_nLanguage));
    } else if (before == SlotState::InFlight && after == SlotState::Failed) {
        const RowState cut = RowState::Failed(FailureReason::kTransferCut);
        table.SetRowState(row, cut, StateText(cut, station.m_nLanguage));
    } else {
        return;
    }
    if (before != SlotState::InFlight) return;  // no slot was freed
    run->SetPhase(*device, UpgradePhase::kNone);
    if (run->SeveralAtOnce()) ShowUpgradeRunFraction(station);
    AdvanceUpgradeRun(station);
}

}  // namespace quillane
