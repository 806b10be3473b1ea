#include "runs/transfer_callbacks.h"

#include <algorithm>
#include <string>

#include "link/tftp_server.h"
#include "model/station_state.h"
#include "model/texts.h"
#include "runs/upgrade_step.h"
#include "support/tick_clock.h"

namespace quillane {

int TransferPercent(uint16_t nextBlock, uint16_t blockSize, uint32_t fileSize) {
    if (blockSize == 0) return 0;
    const auto total = static_cast<uint16_t>(fileSize / blockSize + (fileSize % blockSize != 0 ? 1 : 0));
    if (total == 0) return 0;
    const auto percent = static_cast<uint16_t>(static_cast<double>(nextBlock) / total * 100.0);
    // The last acknowledgements count past the last block (110% for ten blocks).
    return std::min<int>(percent, 100);
}

int FindClientRow(const DeviceTable& table, int row, uint32_t clientAddress) {
    if (row >= 0 && row < table.RowCount() && ParseIPv4(table.Cell(row, kColIP)) == clientAddress) return row;
    for (int r = 0; r < table.RowCount(); ++r)
        if (ParseIPv4(table.Cell(r, kColIP)) == clientAddress) return r;
    return -1;
}

void OnTransferProgress(const sockaddr_in* client, const TransferDelivery& delivery, void* window) {
    if (!window || !client) return;
    auto& station = *static_cast<StationState*>(window);
    const int percent = TransferPercent(delivery.nextBlock, delivery.blockSize, delivery.fileSize);
    if (station.m_bUpgrading.load() == 1) {
        AutoLock lock(&station.m_ListLock);
        DeviceTable& table = station.m_DeviceList;
        const int target = FindClientRow(table, station.m_nUpgradeRow.load(), client->sin_addr.s_addr);
        const std::string text = std::to_string(percent) + "%";
        // Most blocks leave the percentage as it was: the view hears only of changes.
        if (target >= 0 && table.Cell(target, kColState) != text) table.SetCell(target, kColState, text);
        station.m_dwUpgradeTick = GetTickCount();
    }
    station.View().SetProgress(percent);
}

void OnTransferFinished(const sockaddr_in* client, bool delivered, void* window) {
    if (!window || !client) return;
    auto& station = *static_cast<StationState*>(window);
    if (station.m_bUpgrading.load() != 1) return;  // no run to move on
    AutoLock lock(&station.m_ListLock);
    if (station.m_bUpgrading.load() != 1) return;  // the run ended meanwhile
    const int current = station.m_nUpgradeRow.load();
    DeviceTable& table = station.m_DeviceList;
    if (current < 0 || current >= table.RowCount() ||
        ParseIPv4(table.Cell(current, kColIP)) != client->sin_addr.s_addr)
        return;
    if (!delivered) table.SetCell(current, kColState, Texts(station.m_nLanguage).stateUpgradeFailed);
    if (station.m_bUpgradeContinue.load() == 1) {
        ContinueUpgradeRun(station, current + 1);
    } else {
        EndUpgradeRun(station);
    }
}

void OnTransferAbandoned(const sockaddr_in*, void*) {}

}  // namespace quillane
