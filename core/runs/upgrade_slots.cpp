#include "runs/upgrade_slots.h"

#include <algorithm>

namespace quillane {

namespace {

// A stamp more than half the counter's range "ahead" was taken before a
// wrap the other way round: the design resets such a stamp to now.
constexpr uint32_t kStampAhead = 0x80000000u;

}  // namespace

UpgradeSlots::UpgradeSlots(std::vector<IPv4Address> devices, UpgradeSlotLimits limits) : m_limits(limits) {
    m_limits.parallel = std::clamp(m_limits.parallel, 1, kMaxUpgradeParallel);
    m_limits.maxFailures = std::max(m_limits.maxFailures, 0);
    m_devices.reserve(devices.size());
    for (IPv4Address address : devices) m_devices.push_back(Device{address});
}

bool UpgradeSlots::HardwareUnknown(const Device& device) const {
    return !device.learned || !m_hardware.Knows(device.address);
}

bool UpgradeSlots::StartsAreOver() const {
    return m_stopped || FailureLimitReached();
}

bool UpgradeSlots::MayStartMore() const {
    if (StartsAreOver() || m_next >= m_devices.size() || InFlight() >= m_limits.parallel) return false;
    // A device joins others only once every device in flight has a hardware
    // address of its own: one that has none is upgraded alone.
    return std::none_of(m_devices.begin(), m_devices.end(), [this](const Device& device) {
        return device.state == SlotState::InFlight && HardwareUnknown(device);
    });
}

std::vector<size_t> UpgradeSlots::StartDevices(uint32_t now) {
    std::vector<size_t> started;
    while (MayStartMore()) {
        Device& device = m_devices[m_next];
        device.state = SlotState::InFlight;
        device.lastHeard = now;
        started.push_back(m_next++);
    }
    return started;
}

void UpgradeSlots::HardwareAddressLearned(size_t device, const std::optional<HardwareAddress>& hardware) {
    if (device >= m_devices.size()) return;
    m_devices[device].learned = true;
    if (hardware) m_hardware.Learn(*hardware, m_devices[device].address);
}

UpgradeSlots::Device* UpgradeSlots::FindDevice(IPv4Address address, bool inFlightOnly) {
    for (Device& device : m_devices)
        if (device.address == address && (!inFlightOnly || device.state == SlotState::InFlight))
            return &device;
    return nullptr;
}

BootDecision UpgradeSlots::AnswerBootRequest(const std::optional<HardwareAddress>& requester) {
    std::vector<DeviceInFlight> inFlight;
    for (const Device& device : m_devices)
        if (device.state == SlotState::InFlight) inFlight.push_back({device.address, device.answered});
    const UpgradePace pace =
        m_limits.parallel > 1 ? UpgradePace::SeveralAtOnce : UpgradePace::OneAfterAnother;
    const BootDecision decision = DecideBootAnswer(requester, {pace, m_hardware, inFlight});
    if (!decision.device) {
        ++m_unanswered;
        return decision;
    }
    if (Device* device = FindDevice(*decision.device, true)) device->answered = true;
    if (decision.learnsRequester) m_hardware.Learn(*requester, *decision.device);
    return decision;
}

void UpgradeSlots::TransferProgress(IPv4Address client, double fraction, uint32_t now) {
    Device* device = FindDevice(client, false);
    if (!device || device->state == SlotState::Waiting || device->state == SlotState::NotStarted) return;
    device->fraction = std::clamp(fraction, 0.0, 1.0);
    if (device->state == SlotState::InFlight) device->lastHeard = now;
}

void UpgradeSlots::Fail(Device& device) {
    device.state = SlotState::Failed;
    ++m_failures;
}

void UpgradeSlots::TransferFinished(IPv4Address client, bool delivered) {
    Device* device = FindDevice(client, true);
    if (!device) device = FindDevice(client, false);  // late, after its time-out
    if (!device || device->state == SlotState::Waiting || device->state == SlotState::NotStarted) return;
    if (device->state == SlotState::InFlight) {
        if (delivered) {
            device->state = SlotState::Succeeded;
            device->fraction = 1;
        } else {
            Fail(*device);
        }
        return;
    }
    // A device that timed out and then delivered after all has succeeded.
    if (delivered && device->state == SlotState::Failed) {
        device->state = SlotState::Succeeded;
        device->fraction = 1;
        --m_failures;
    }
}

std::vector<size_t> UpgradeSlots::ExpireSilent(uint32_t now, uint32_t silenceMs) {
    std::vector<size_t> expired;
    for (size_t i = 0; i < m_devices.size(); ++i) {
        Device& device = m_devices[i];
        if (device.state != SlotState::InFlight) continue;
        const uint32_t silent = now - device.lastHeard;
        if (silent >= kStampAhead) {
            device.lastHeard = now;
        } else if (silent > silenceMs) {
            Fail(device);
            expired.push_back(i);
        }
    }
    return expired;
}

void UpgradeSlots::Stop() {
    m_stopped = true;
}

bool UpgradeSlots::Ended() {
    if (InFlight() > 0) return false;
    if (!StartsAreOver() && m_next < m_devices.size()) return false;
    for (Device& device : m_devices)
        if (device.state == SlotState::Waiting) device.state = SlotState::NotStarted;
    return true;
}

int UpgradeSlots::InFlight() const {
    return static_cast<int>(std::count_if(m_devices.begin(), m_devices.end(),
                                          [](const Device& d) { return d.state == SlotState::InFlight; }));
}

double UpgradeSlots::RunFraction() const {
    if (m_devices.empty()) return 0;
    double done = 0;
    for (const Device& device : m_devices) {
        if (device.state == SlotState::Succeeded || device.state == SlotState::Failed)
            done += 1;
        else if (device.state == SlotState::InFlight)
            done += device.fraction;
    }
    return done / static_cast<double>(m_devices.size());
}

std::optional<uint32_t> UpgradeSlots::MsUntilNextTimeOut(uint32_t now, uint32_t silenceMs) const {
    std::optional<uint32_t> soonest;
    for (const Device& device : m_devices) {
        if (device.state != SlotState::InFlight) continue;
        const uint32_t silent = now - device.lastHeard;
        const uint32_t left = silent >= kStampAhead ? silenceMs + 1
                              : silent > silenceMs  ? 0
                                                    : silenceMs + 1 - silent;
        soonest = std::min(soonest.value_or(left), left);
    }
    return soonest;
}

}  // namespace quillane
