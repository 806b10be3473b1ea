#pragma once

// The upgrade run's side of the TFTP transfers: each acknowledged block shows
// its percentage in the device's State cell and in the progress bar; the end
// of the current device's transfer moves the run on. The server reports only
// the client and what it delivered; the run knows which row is current
// (m_nUpgradeRow). They run on the transfer threads; `window` is the
// station's state.

#include <cstdint>

#include "link/tftp_server.h"
#include "support/udp_socket.h"

namespace quillane {

class DeviceTable;

// The percentage after an acknowledgement, `nextBlock` being the block after
// the one acknowledged, against the file's count of blocks (16 bits, as block
// numbers are). 0 when the size is unknown; never above 100.
int TransferPercent(uint16_t nextBlock, uint16_t blockSize, uint32_t fileSize);

// The row that shows a client: `row` (the run's current one) when its address
// cell holds the client's address, else the first row that does; -1 when none.
int FindClientRow(const DeviceTable& table, int row, uint32_t clientAddress);

void OnTransferProgress(const sockaddr_in* client, const TransferDelivery& delivery, void* window);
// A transfer that did not deliver the whole file marks its device failed.
// Only the transfer of the device being upgraded moves the run on: a stray one
// (a device the run has left behind) changes nothing.
void OnTransferFinished(const sockaddr_in* client, bool delivered, void* window);
// Nothing: the upgrade step's own time-out follows a transfer that gave up.
void OnTransferAbandoned(const sockaddr_in* client, void* window);

}  // namespace quillane
