#pragma once

// Whom a boot request is answered for during an upgrade run. The request
// names its sender only by hardware address, so the answer is bound to the
// run's devices by that address:
//   - a device of this run (hardware address learned from the neighbour
//     table or from an earlier answer) gets its own address, whichever device
//     the run is on: a device that restarts late never gets another's;
//   - any other hardware address gets the address of the one device the run
//     waits for, as long as that device has not been answered yet (its loader
//     may ask with a hardware address of its own); once it has, no answer
//     until the next device's command. That one device is the current one
//     when devices go one after another, and, when several go at once, a
//     device of unknown hardware address, which is then upgraded alone;
//   - while several devices are in flight, no other answer at all.
// Pure: the run keeps the facts and applies the decision.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "link/neighbour_table.h"
#include "runs/run_hardware_addresses.h"
#include "support/ipv4.h"

namespace quillane {

enum class UpgradePace {
    OneAfterAnother,  // the default: one device at a time
    SeveralAtOnce,
};

struct DeviceInFlight {
    IPv4Address address;
    bool answered = false;  // a boot answer went out for it since its command
};

struct BootRequestContext {
    UpgradePace pace = UpgradePace::OneAfterAnother;
    const RunHardwareAddresses& hardware;
    std::span<const DeviceInFlight> inFlight;  // in the order they were commanded
};

enum class BootRefusal {
    None,
    CurrentAlreadyAnswered,  // unknown hardware address, the device waited for was answered already
    NoDeviceWaiting,         // unknown hardware address, no device waits for an answer
    SeveralAtOnce,           // unknown hardware address while devices go several at once
};

struct BootDecision {
    std::optional<IPv4Address> device;  // the address to give; nullopt: no answer
    BootRefusal refusal = BootRefusal::None;
    // Answered from a hardware address the run did not know: the run learns it
    // for the device, so that the loader's repeated requests find it again.
    bool learnsRequester = false;
};

// `requester`: the request's hardware address (nullopt when it names none).
// The run marks the device it answers for as answered.
BootDecision DecideBootAnswer(const std::optional<HardwareAddress>& requester, const BootRequestContext& run);

// Short English words for the TFTP log's count of unanswered requests.
const char* BootRefusalText(BootRefusal refusal);

// The hardware address a 300-byte boot request carries: Ethernet (htype 1,
// hlen 6) and naming a device; otherwise nullopt.
std::optional<HardwareAddress> BootRequestHardwareAddress(const uint8_t* request, size_t length);

}  // namespace quillane
