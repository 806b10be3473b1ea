#include "runs/transfer_callbacks.h"

#include <algorithm>
#include <string>

#include "link/tftp_server.h"
#include "model/station_state.h"
#include "model/texts.h"
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

int FindClientRow(const DeviceTable& table, int row, uint32_t clientAddress) {
    if (row >= 0 && row < table.RowCount() && ParseIPv4(table.Cell(row, kColIP)) == clientAddress) return row;
    for (int r = 0; r < table.RowCount(); ++r)
        if (ParseIPv4(table.Cell(r, kColIP)) == clientAddress) return r;
    return -1;
}

namespace {

// Whether the client is the device the run is upgrading: only its progress
// renews the silence stamp and moves the bar, so a host that keeps reading
// the file cannot hold the run on a silent device.
bool IsCurrentDevice(const StationState& station, int32_t row, uint32_t clientAddress) {
    const int current = station.m_pTftpServer ? station.m_pTftpServer->currentRow.load() : row;
    const DeviceTable& table = station.m_DeviceList;
    return current >= 0 && current < table.RowCount() &&
           ParseIPv4(table.Cell(current, kColIP)) == clientAddress;
}

}  // namespace

void OnTransferProgress(uint32_t nextBlock, uint16_t blockSize, uint32_t fileSize, int32_t row,
                        const sockaddr_in* client, void* window) {
    if (!window || !client) return;
    auto& station = *static_cast<StationState*>(window);
    // Without a run no transfer is the current device's: the bar stays as it
    // is (a range search may be showing its walk on it).
    if (station.m_bUpgrading.load() != 1) return;
    const int percent = TransferPercent(nextBlock, blockSize, fileSize);
    {
        AutoLock lock(&station.m_ListLock);
        DeviceTable& table = station.m_DeviceList;
        const int target = FindClientRow(table, row, client->sin_addr.s_addr);
        const std::string text = std::to_string(percent) + "%";
        // Most blocks leave the percentage as it was: the view hears only of changes.
        if (target >= 0 && table.Cell(target, kColState) != text) table.SetCell(target, kColState, text);
        if (!IsCurrentDevice(station, row, client->sin_addr.s_addr)) return;
        station.m_dwUpgradeTick = GetTickCount();
    }
    station.View().SetProgress(percent);
}

void OnTransferFinished(int32_t row, const sockaddr_in* client, bool delivered, void* window) {
    if (!window || !client) return;
    auto& station = *static_cast<StationState*>(window);
    if (station.m_bUpgrading.load() != 1) return;  // no run to move on
    AutoLock lock(&station.m_ListLock);
    if (station.m_bUpgrading.load() != 1) return;  // the run ended meanwhile
    const int current = station.m_pTftpServer ? station.m_pTftpServer->currentRow.load() : row;
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

void OnTransferAbandoned(int32_t, const sockaddr_in*, void*) {}

}  // namespace quillane
