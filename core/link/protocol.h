#pragma once

// The device protocol's datagrams: builders that return the bytes to send and
// a reader that takes a received datagram apart. All integers are
// little-endian. Addresses travel in two forms:
//   number form: the 32-bit value whose most significant byte is the first
//                dotted octet (192.168.1.10 = 0xC0A8010A), stored little-endian;
//   octet form:  the four octets in dotted order.
// Everything here hands addresses over as number-form values.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace quillane {

using Datagram = std::vector<uint8_t>;

// Message codes (byte 4).
inline constexpr uint8_t kCodeChangeDirect = 0xF0;  // command, and the short change result
inline constexpr uint8_t kCodeRangeProbe = 0xF1;    // first range probe, and the search reply
inline constexpr uint8_t kCodeFullChangeResult = 0xF2;
inline constexpr uint8_t kCodeSearchProbe = 0xF3;
inline constexpr uint8_t kCodeChangeGroup = 0xF4;
inline constexpr uint8_t kCodeRangeProbeSecond = 0xF6;
inline constexpr uint8_t kCodeUpgrade = 0xDF;

inline constexpr uint32_t kUpgradeMarker = 0x969B929B;  // takes the length field's place

inline constexpr size_t kSearchProbeLength = 12;
inline constexpr size_t kRangeProbeLength = 20;
inline constexpr size_t kChangeDirectLength = 40;
inline constexpr size_t kChangeGroupLength = 48;
inline constexpr size_t kUpgradeLength = 40;
inline constexpr size_t kShortChangeResultLength = 20;
inline constexpr size_t kSearchReplyLength = 52;
inline constexpr size_t kTypedSearchReplyLength = 56;
inline constexpr size_t kFullChangeResultLength = 52;

// The settings an address-change command carries, all in number form.
struct AddressChangeValues {
    uint32_t presentIp = 0;
    uint32_t serverIp = 0;
    uint32_t standbyServerIp = 0;
    uint32_t newIp = 0;
    uint32_t gateway = 0;
    uint32_t mask = 0;
};

Datagram BuildSearchProbe();
// `code` is kCodeRangeProbe or kCodeRangeProbeSecond; each address gets both.
Datagram BuildRangeProbe(uint8_t code);
// Sum of the six address fields modulo 2^32.
uint32_t AddressChangeChecksum(const AddressChangeValues& values);
// For a device in one of the workstation's segments, sent to its own address.
Datagram BuildDirectAddressChange(const AddressChangeValues& values);
// For any other device, sent to the command group; only the device number's
// low 16 bits travel, and devices match on them.
Datagram BuildGroupAddressChange(int32_t deviceNumber, const AddressChangeValues& values);
Datagram BuildUpgradeCommand();

struct SearchReply {
    int32_t deviceNumber = 0;
    uint32_t ip = 0, mask = 0, gateway = 0, server = 0, standbyServer = 0;  // number form
    std::array<uint8_t, 4> version{};                                       // the field's bytes as received
    bool hasType = false;                                                   // the 56-byte form
    int32_t typeCode = 0;
};

struct ShortChangeResult {
    int32_t deviceNumber = 0;
    uint32_t result = 0;  // 1: the change succeeded
    bool Succeeded() const { return result == 1; }
};

struct FullChangeResult {
    int32_t deviceNumber = 0;     // finds the device's row
    int32_t newDeviceNumber = 0;  // shown from now on
    uint32_t result = 0;
    uint32_t ip = 0, mask = 0, gateway = 0, server = 0, standbyServer = 0;  // number form
    bool Succeeded() const { return result == 1; }
};

// std::monostate: not a reply (unknown code, or a length the code never has).
using DeviceReply = std::variant<std::monostate, SearchReply, ShortChangeResult, FullChangeResult>;

// Recognises a reply by its code and exact length; never reads past `datagram`.
DeviceReply ReadDeviceReply(std::span<const uint8_t> datagram);

// "2015.6.12.5" for the version bytes 05 0C 06 0F: byte 3 + 2000, then bytes 2, 1, 0.
std::string FormatVersion(const std::array<uint8_t, 4>& version);
// Dotted text of a number-form address, first octet first.
std::string FormatAddress(uint32_t numberForm);

}  // namespace quillane
