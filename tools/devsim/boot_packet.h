#pragma once

// The 300-byte boot request a device's loader broadcasts (BOOTP layout,
// network byte order) and the fields it takes from the reply.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace devsim {

inline constexpr size_t kBootPacketSize = 300;
inline constexpr uint16_t kBootServerPort = 67;
inline constexpr uint16_t kBootClientPort = 68;

std::vector<uint8_t> BuildBootRequest(uint32_t xid, const std::array<uint8_t, 6>& mac, uint16_t secs);

struct BootReply {
    bool valid = false;
    const char* problem = nullptr;  // why it is not ours or not usable
    uint32_t yiaddr = 0;            // host order
    uint32_t siaddr = 0;
    std::string file;  // up to the first zero, at most 128 bytes
};

// Accepts a reply (op 2) that carries our transaction id and hardware address.
BootReply ParseBootReply(const uint8_t* data, size_t length, uint32_t xid, const std::array<uint8_t, 6>& mac);

}  // namespace devsim
