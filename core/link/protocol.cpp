#include "link/protocol.h"

#include <cstdio>

#include "support/ipv4.h"

namespace quillane {
namespace {

void Put32(Datagram& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Callers have checked the length, so every read lies inside the span.
uint32_t Get32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= uint32_t{bytes[offset + i]} << (8 * i);
    return value;
}

int32_t GetSigned32(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<int32_t>(Get32(bytes, offset));
}

// Replies carry the two server addresses in octet form, first octet first.
uint32_t GetOctetForm(std::span<const uint8_t> bytes, size_t offset) {
    return uint32_t{bytes[offset]} << 24 | uint32_t{bytes[offset + 1]} << 16 |
           uint32_t{bytes[offset + 2]} << 8 | uint32_t{bytes[offset + 3]};
}

// Length field, code, then zeros: the common head of every message from the tool.
Datagram Message(size_t length, uint32_t head, uint8_t code) {
    Datagram bytes(length, 0);
    Put32(bytes, 0, head);
    bytes[4] = code;
    return bytes;
}

void PutAddressChange(Datagram& bytes, const AddressChangeValues& v) {
    Put32(bytes, 12, v.presentIp);
    Put32(bytes, 16, v.serverIp);
    Put32(bytes, 20, v.standbyServerIp);
    Put32(bytes, 24, v.newIp);
    Put32(bytes, 28, v.gateway);
    Put32(bytes, 32, v.mask);
    Put32(bytes, 36, AddressChangeChecksum(v));
}

SearchReply ReadSearchReply(std::span<const uint8_t> d) {
    SearchReply reply;
    reply.deviceNumber = GetSigned32(d, 8);
    reply.ip = Get32(d, 16);
    reply.mask = Get32(d, 20);
    reply.gateway = Get32(d, 24);
    reply.server = GetOctetForm(d, 28);
    reply.standbyServer = GetOctetForm(d, 32);
    for (size_t i = 0; i < 4; ++i) reply.version[i] = d[44 + i];
    reply.hasType = d.size() == kTypedSearchReplyLength;
    if (reply.hasType) reply.typeCode = GetSigned32(d, 52);
    return reply;
}

FullChangeResult ReadFullChangeResult(std::span<const uint8_t> d) {
    FullChangeResult result;
    result.deviceNumber = GetSigned32(d, 8);
    result.newDeviceNumber = GetSigned32(d, 12);
    result.result = Get32(d, 16);
    result.ip = Get32(d, 20);
    result.mask = Get32(d, 24);
    result.gateway = Get32(d, 28);
    result.server = GetOctetForm(d, 32);
    result.standbyServer = GetOctetForm(d, 36);
    return result;
}

}  // namespace

Datagram BuildSearchProbe() {
    return Message(kSearchProbeLength, kSearchProbeLength, kCodeSearchProbe);
}

Datagram BuildRangeProbe(uint8_t code) {
    Datagram bytes = Message(kRangeProbeLength, kRangeProbeLength, code);
    Put32(bytes, 12, 1);
    Put32(bytes, 16, 1);
    return bytes;
}

uint32_t AddressChangeChecksum(const AddressChangeValues& v) {
    return v.presentIp + v.serverIp + v.standbyServerIp + v.newIp + v.gateway + v.mask;  // wraps modulo 2^32
}

Datagram BuildDirectAddressChange(const AddressChangeValues& values) {
    Datagram bytes = Message(kChangeDirectLength, kChangeDirectLength, kCodeChangeDirect);
    PutAddressChange(bytes, values);
    return bytes;
}

Datagram BuildGroupAddressChange(int32_t deviceNumber, const AddressChangeValues& values) {
    Datagram bytes = Message(kChangeGroupLength, kChangeGroupLength, kCodeChangeGroup);
    PutAddressChange(bytes, values);
    const auto low16 = static_cast<uint16_t>(static_cast<uint32_t>(deviceNumber));
    bytes[40] = static_cast<uint8_t>(low16);
    bytes[41] = static_cast<uint8_t>(low16 >> 8);
    return bytes;
}

Datagram BuildUpgradeCommand() {
    return Message(kUpgradeLength, kUpgradeMarker, kCodeUpgrade);
}

DeviceReply ReadDeviceReply(std::span<const uint8_t> d) {
    if (d.size() < 5) return std::monostate{};
    switch (d[4]) {
        case kCodeChangeDirect:
            if (d.size() == kShortChangeResultLength) {
                return ShortChangeResult{GetSigned32(d, 8), Get32(d, 16)};
            }
            break;
        case kCodeRangeProbe:
            if (d.size() == kSearchReplyLength || d.size() == kTypedSearchReplyLength)
                return ReadSearchReply(d);
            break;
        case kCodeFullChangeResult:
            if (d.size() == kFullChangeResultLength) return ReadFullChangeResult(d);
            break;
        default:
            break;
    }
    return std::monostate{};
}

std::string FormatVersion(const std::array<uint8_t, 4>& v) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", v[3] + 2000, v[2], v[1], v[0]);
    return text;
}

std::string FormatAddress(uint32_t numberForm) {
    return IPv4Address(numberForm).ToString();
}

}  // namespace quillane
