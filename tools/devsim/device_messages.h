#pragma once

// The device protocol as a device sees it: the commands it receives on port
// 25000 and the replies it sends to port 25005. Multi-byte fields are
// little-endian; addresses travel in "number form" (the host-order number,
// stored little-endian) except the two server addresses of replies, which go in
// "octet form" (dotted order, first octet first).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "device_config.h"

namespace devsim {

inline constexpr uint16_t kCommandPort = 25000;
inline constexpr uint16_t kReplyPort = 25005;
inline constexpr uint32_t kCommandGroup = 0xE0000200u;  // 224.0.2.0
inline constexpr uint32_t kReplyGroup = 0xE0000300u;    // 224.0.3.0
inline constexpr uint32_t kUpgradeMarker = 0x969B929Bu;

enum class CommandKind { SearchProbe, RangeProbe, ChangeDirect, ChangeGroup, Upgrade, Unknown };

// A received command, taken apart. Fields not carried by its kind stay zero.
struct Command {
    CommandKind kind = CommandKind::Unknown;
    uint8_t code = 0;
    size_t length = 0;
    const char* problem = nullptr;  // why a datagram is not taken as its kind
    // Address change
    uint32_t presentIp = 0, server = 0, standby = 0, newIp = 0, gateway = 0, mask = 0;
    uint32_t checksum = 0;
    bool checksumOk = false;
    uint16_t numberLow = 0;  // group form only
};

Command ParseCommand(const uint8_t* data, size_t length);
const char* CommandName(CommandKind kind);

// The address settings a device reports.
struct DeviceState {
    int32_t number = 0;
    std::optional<int32_t> typeCode;
    std::array<uint8_t, 4> version{};
    uint32_t ip = 0, mask = 0, gateway = 0, server = 0, standby = 0;
    std::array<uint8_t, 6> mac{};
};

std::vector<uint8_t> BuildSearchReply(const DeviceState& device);
std::vector<uint8_t> BuildShortChangeResult(int32_t number, bool success);
std::vector<uint8_t> BuildFullChangeResult(const DeviceState& device, bool success);

// Sum of the six address fields at offsets 12..32, modulo 2^32.
uint32_t ChangeChecksum(const uint8_t* command);

}  // namespace devsim
