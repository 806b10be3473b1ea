#include "boot_packet.h"

#include <algorithm>
#include <cstring>

namespace devsim {
namespace {

uint32_t ReadBe32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

}  // namespace

std::vector<uint8_t> BuildBootRequest(uint32_t xid, const std::array<uint8_t, 6>& mac, uint16_t secs) {
    std::vector<uint8_t> packet(kBootPacketSize, 0);
    packet[0] = 1;  // op: request
    packet[1] = 1;  // htype: Ethernet
    packet[2] = 6;  // hlen
    for (int i = 0; i < 4; ++i) packet[4 + i] = static_cast<uint8_t>(xid >> (24 - 8 * i));
    packet[8] = static_cast<uint8_t>(secs >> 8);
    packet[9] = static_cast<uint8_t>(secs);
    packet[10] = 0x80;  // flags: answer by broadcast, the loader has no address yet
    std::copy(mac.begin(), mac.end(), packet.begin() + 28);
    // Vendor area: the RFC 1497 magic cookie, then the end option.
    const uint8_t cookie[] = {99, 130, 83, 99, 255};
    std::memcpy(packet.data() + 236, cookie, sizeof cookie);
    return packet;
}

BootReply ParseBootReply(const uint8_t* data, size_t length, uint32_t xid,
                         const std::array<uint8_t, 6>& mac) {
    BootReply reply;
    if (length < 236) {
        reply.problem = "shorter than the fixed BOOTP fields";
        return reply;
    }
    if (data[0] != 2) {
        reply.problem = "not a reply (op is not 2)";
        return reply;
    }
    if (ReadBe32(data + 4) != xid) {
        reply.problem = "other transaction id";
        return reply;
    }
    if (!std::equal(mac.begin(), mac.end(), data + 28)) {
        reply.problem = "other hardware address";
        return reply;
    }
    reply.yiaddr = ReadBe32(data + 16);
    reply.siaddr = ReadBe32(data + 20);
    const auto* file = reinterpret_cast<const char*>(data + 108);
    reply.file.assign(file, strnlen(file, 128));
    if (reply.file.empty()) {
        reply.problem = "no file name";
        return reply;
    }
    reply.valid = true;
    return reply;
}

}  // namespace devsim
