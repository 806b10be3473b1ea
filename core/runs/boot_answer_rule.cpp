#include "runs/boot_answer_rule.h"

#include <algorithm>

namespace quillane {

namespace {

constexpr size_t kBootHtypeOffset = 1;
constexpr size_t kBootHlenOffset = 2;
constexpr size_t kBootChaddrOffset = 28;
constexpr uint8_t kEthernet = 1;

// The one device that a request of unknown hardware address may be for.
const DeviceInFlight* DeviceWaitingForUnknown(const BootRequestContext& run, BootRefusal& refusal) {
    if (run.inFlight.empty()) {
        refusal = BootRefusal::NoDeviceWaiting;
        return nullptr;
    }
    const DeviceInFlight& first = run.inFlight.front();
    if (run.pace == UpgradePace::SeveralAtOnce &&
        (run.inFlight.size() > 1 || run.hardware.Knows(first.address))) {
        refusal = BootRefusal::SeveralAtOnce;
        return nullptr;
    }
    if (first.answered) {
        refusal = BootRefusal::CurrentAlreadyAnswered;
        return nullptr;
    }
    return &first;
}

}  // namespace

BootDecision DecideBootAnswer(const std::optional<HardwareAddress>& requester,
                              const BootRequestContext& run) {
    BootDecision decision;
    if (requester) {
        if (const auto device = run.hardware.DeviceOf(*requester)) {
            decision.device = *device;
            return decision;
        }
    }
    if (const DeviceInFlight* waiting = DeviceWaitingForUnknown(run, decision.refusal)) {
        decision.device = waiting->address;
        decision.learnsRequester = requester.has_value();
    }
    return decision;
}

const char* BootRefusalText(BootRefusal refusal) {
    switch (refusal) {
        case BootRefusal::None:
            return "answered";
        case BootRefusal::CurrentAlreadyAnswered:
            return "unknown hardware address, current device already answered";
        case BootRefusal::NoDeviceWaiting:
            return "unknown hardware address, no device waiting";
        case BootRefusal::SeveralAtOnce:
            return "unknown hardware address, devices upgrading several at once";
    }
    return "";
}

std::optional<HardwareAddress> BootRequestHardwareAddress(const uint8_t* request, size_t length) {
    if (!request || length < kBootChaddrOffset + 6) return std::nullopt;
    if (request[kBootHtypeOffset] != kEthernet || request[kBootHlenOffset] != 6) return std::nullopt;
    HardwareAddress hardware{};
    std::copy(request + kBootChaddrOffset, request + kBootChaddrOffset + 6, hardware.begin());
    if (NamesNoDevice(hardware)) return std::nullopt;
    return hardware;
}

}  // namespace quillane
