#pragma once

// What a device's loader does after the upgrade command: broadcast the boot
// request from port 68, take the address, server and file name from the
// reply, fetch the file by TFTP and report the outcome. Runs on a thread of
// its own so that the rest of the fleet keeps answering.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "device_config.h"
#include "drop_dice.h"
#include "event_log.h"

namespace devsim {

struct UpgradeSettings {
    int32_t deviceNumber = 0;
    uint32_t deviceIp = 0;  // host order; the loader's requests leave from here
    std::array<uint8_t, 6> mac{};
    TftpOptions tftp;
    Faults faults;
    uint64_t seed = 0;  // transaction id and losses
    EventLog* log = nullptr;
    const std::atomic<bool>* stop = nullptr;
};

// Runs the whole exchange; `onSuccess` is called after a complete transfer.
void RunUpgrade(const UpgradeSettings& settings, const std::function<void()>& onSuccess);

}  // namespace devsim
