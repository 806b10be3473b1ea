#pragma once

// What other threads tell the command loop during runs. The boot endpoint's
// receive thread and the TFTP transfers only post these; the loop alone acts
// on them, so only the loop moves a run on.

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "link/tftp_server.h"

namespace quillane {

// The Upgrade button's run begins with the device of `row` (the first chosen
// one in a local subnet, found at the press).
struct UpgradeStartEvent {
    int row = 0;
};

// A boot request as received (the loop answers only 300-byte ones).
struct BootRequestEvent {
    std::vector<uint8_t> packet;
};

// A client acknowledged a block; `client` in network order.
struct TransferProgressEvent {
    uint32_t client = 0;
    TransferDelivery delivery;
};

// A transfer ended: the whole file acknowledged, or not.
struct TransferEndEvent {
    uint32_t client = 0;
    bool delivered = false;
};

using LoopEvent = std::variant<UpgradeStartEvent, BootRequestEvent, TransferProgressEvent, TransferEndEvent>;

// Bounds on waiting events: progress reports beyond the first bound are
// dropped (the next one says as much), anything beyond the second too. A
// transfer's end or a boot request is dropped only in a flood that the
// silence time-out then settles.
inline constexpr size_t kMaxQueuedProgressEvents = 4096;
inline constexpr size_t kMaxQueuedLoopEvents = 1 << 16;

}  // namespace quillane
