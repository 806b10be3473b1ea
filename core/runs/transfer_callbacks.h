#pragma once

// The upgrade run's side of the TFTP transfers, handled by the command loop
// from the events the transfers post: each acknowledged block shows its
// percentage in the device's State cell and moves the progress bar; the end
// of a device's transfer frees its slot. The server reports only the client
// and what it delivered; the client's address is the device's (its boot
// answer gave it), and the run (upgrade_run.h) knows its row.

#include <cstdint>

#include "link/tftp_server.h"

namespace quillane {

class DeviceTable;
class StationState;

// The percentage after an acknowledgement, `nextBlock` being the block after
// the one acknowledged, against the file's count of blocks; both counted
// from the start of the transfer, past the 16-bit block number's wrap. 0 when
// the size is unknown; truncated, never above 100.
int TransferPercent(uint32_t nextBlock, uint16_t blockSize, uint32_t fileSize);

// The row that shows a client: `row` (the run's current one) when its address
// cell holds the client's address, else the first row that does; -1 when none.
int FindClientRow(const DeviceTable& table, int row, uint32_t clientAddress);

// During a run the percentage shows in the client's row; only a device in
// flight renews its own silence and moves the bar (one after another: its
// percentage; several at once: the run's). Without a run a transfer changes
// nothing. `client` in network order.
void HandleTransferProgress(StationState& station, uint32_t client, const TransferDelivery& delivery);
// A transfer that did not deliver the whole file marks its device failed;
// a device in flight frees its slot and the run moves on. A device that timed
// out and then delivered is upgraded after all; a stray transfer (no device
// of the run) changes nothing.
void HandleTransferEnd(StationState& station, uint32_t client, bool delivered);

}  // namespace quillane
