#pragma once

// The bookkeeping of an upgrade run that keeps up to N devices in their
// upgrade at once: which chosen device starts next (table order, into a free
// slot), each device's own silence time-out, its share of the progress, its
// outcome, and whom a boot request is answered for (boot_answer_rule.h).
// With N = 1 it is the one-after-another run. Pure: no threads, no sockets,
// times are tick counts handed in; the command loop owns it and does what it
// says (sends the commands, learns the hardware addresses, shows the rows).
//
// Devices start one at a time: the next joins only once the hardware address
// of every device in flight is learned. A device whose hardware address the
// run could not learn is upgraded alone: while it is in flight no other
// device starts, and requests from unknown hardware addresses are answered
// for it only once it is the only device in flight; the first such answer
// names its loader's card, and from then on others may join.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/neighbour_table.h"
#include "model/settings.h"
#include "runs/boot_answer_rule.h"
#include "runs/run_hardware_addresses.h"
#include "support/ipv4.h"

namespace quillane {

struct UpgradeSlotLimits {
    int parallel = 1;     // 1 .. kMaxUpgradeParallel
    int maxFailures = 0;  // once this many failed, no new device starts; 0: no limit
};

enum class SlotState {
    Waiting,     // chosen, not commanded yet
    InFlight,    // commanded; its loader asks, then reads the image
    Succeeded,   // the whole image was delivered
    Failed,      // the transfer ended short, or the device fell silent
    NotStarted,  // the run ended (Stop, the failure limit) before its turn
};

class UpgradeSlots {
public:
    // `devices`: the chosen devices in table order (those the run may reach).
    UpgradeSlots(std::vector<IPv4Address> devices, UpgradeSlotLimits limits);

    // The devices to command now, in table order, each marked in flight with
    // its silence counted from `now`: as many as there are free slots, none
    // after Stop, once the failure limit is reached, or while a device of
    // unknown hardware address is in flight.
    std::vector<size_t> StartDevices(uint32_t now);

    // After a device's command: its hardware address from the neighbour
    // table, or nullopt when it could not be learned.
    void HardwareAddressLearned(size_t device, const std::optional<HardwareAddress>& hardware);

    // A boot request during the run: the decision, applied (the device is
    // marked answered; a requester answered for the device it waited for is
    // learned for it). Unanswered requests are counted.
    BootDecision AnswerBootRequest(const std::optional<HardwareAddress>& requester);

    // The device's own transfer (the client is the address its boot answer
    // gave it): renews its silence and sets its share done (0..1).
    void TransferProgress(IPv4Address client, double fraction, uint32_t now);
    // The end of its transfer. A device not in flight (one that timed out and
    // came back late) still gets its outcome.
    void TransferFinished(IPv4Address client, bool delivered);

    // Devices in flight silent for more than `silenceMs` become failed; returns them.
    std::vector<size_t> ExpireSilent(uint32_t now, uint32_t silenceMs);

    // No new device starts; those in flight finish or time out.
    void Stop();

    // Nothing in flight and nothing more to start. Waiting devices are then
    // NotStarted (when the run was stopped or hit its failure limit).
    bool Ended();

    SlotState State(size_t device) const { return m_devices[device].state; }
    // When the device was last heard of (its command, its transfer): its silence counts from here.
    uint32_t LastHeard(size_t device) const { return m_devices[device].lastHeard; }
    bool Stopped() const { return m_stopped; }
    bool FailureLimitReached() const {
        return m_limits.maxFailures > 0 && m_failures >= m_limits.maxFailures;
    }
    IPv4Address Address(size_t device) const { return m_devices[device].address; }
    size_t Count() const { return m_devices.size(); }
    int Failures() const { return m_failures; }
    int InFlight() const;
    uint32_t UnansweredBootRequests() const { return m_unanswered; }
    // The progress bar: devices finished plus the shares of those in flight, over all (0..1).
    double RunFraction() const;
    // The shortest time until a device in flight could time out (for the loop's wait); nullopt with none.
    std::optional<uint32_t> MsUntilNextTimeOut(uint32_t now, uint32_t silenceMs) const;

private:
    struct Device {
        IPv4Address address;
        SlotState state = SlotState::Waiting;
        uint32_t lastHeard = 0;
        double fraction = 0;
        bool answered = false;
        bool learned = false;  // the neighbour table was read after its command
    };

    bool MayStartMore() const;
    bool StartsAreOver() const;
    bool HardwareUnknown(const Device& device) const;
    Device* FindDevice(IPv4Address address, bool inFlightOnly);
    void Fail(Device& device);

    std::vector<Device> m_devices;
    UpgradeSlotLimits m_limits;
    RunHardwareAddresses m_hardware;
    size_t m_next = 0;  // the first device not yet considered for starting
    int m_failures = 0;
    bool m_stopped = false;
    uint32_t m_unanswered = 0;
};

}  // namespace quillane
