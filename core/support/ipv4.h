#pragma once

// An IPv4 address or mask as one value, so that no caller has to remember
// which of the three byte orders in use a bare 32-bit number is in:
//   number form:   first dotted octet in the most significant byte
//                  (192.168.1.10 = 0xC0A8010A); IP address controls, settings
//                  files and the device protocol's fields use it;
//   network order: first octet first in memory, as socket addresses hold it;
//   octet form:    the four octets in dotted order on the wire (protocol.cpp).
// The value keeps the number form; the other orders are conversions.

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillane {

class IPv4Address {
public:
    constexpr IPv4Address() = default;
    constexpr explicit IPv4Address(uint32_t numberForm) : m_number(numberForm) {}
    static constexpr IPv4Address FromOctets(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return IPv4Address((a & 0xFF) << 24 | (b & 0xFF) << 16 | (c & 0xFF) << 8 | (d & 0xFF));
    }
    static IPv4Address FromNetworkOrder(uint32_t networkOrder);
    // Dotted text read as inet_addr reads it (one to four parts, each decimal,
    // 0x hexadecimal or 0 octal; trailing white space allowed); text that is
    // not an address gives 255.255.255.255, inet_addr's INADDR_NONE.
    static IPv4Address Parse(std::string_view text);

    constexpr uint32_t Number() const { return m_number; }
    uint32_t NetworkOrder() const;
    // Octet 0 is the first dotted one.
    constexpr uint32_t Octet(int index) const { return (m_number >> (24 - 8 * index)) & 0xFF; }
    // "a.b.c.d", first octet first.
    std::string ToString() const;

    constexpr bool IsMulticast() const { return (m_number >> 28) == 0xE; }
    // Whether both lie in one network under `mask`.
    constexpr bool SameNetwork(IPv4Address other, IPv4Address mask) const {
        return ((m_number ^ other.m_number) & mask.m_number) == 0;
    }
    // The all-ones host part of a subnet. A /31 or /32 has no broadcast address.
    constexpr bool IsBroadcastOf(IPv4Address mask) const {
        return mask.m_number < 0xFFFFFFFEu && (m_number | mask.m_number) == 0xFFFFFFFFu;
    }

    // Compares the number form: for masks of contiguous ones the larger is the longer prefix.
    constexpr auto operator<=>(const IPv4Address&) const = default;

private:
    uint32_t m_number = 0;
};

// Dotted text to a network-order address with inet_addr's rules
// (INADDR_NONE, 255.255.255.255, for text that is not an address).
uint32_t ParseIPv4(const std::string& text);
// Network-order address as "a.b.c.d", first byte in memory first.
std::string FormatIPv4(uint32_t networkOrder);

}  // namespace quillane
