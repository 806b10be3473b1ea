#include "support/ipv4.h"

#include <cstdio>
#include <optional>

namespace quillane {
namespace {

constexpr uint32_t kNotAnAddress = 0xFFFFFFFFu;

bool IsDigitOfBase(char c, uint32_t base) {
    if (base == 16) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    return c >= '0' && c < static_cast<char>('0' + base);
}

uint32_t DigitValue(char c) {
    if (c >= 'a') return static_cast<uint32_t>(c - 'a' + 10);
    if (c >= 'A') return static_cast<uint32_t>(c - 'A' + 10);
    return static_cast<uint32_t>(c - '0');
}

// One part as strtoul with base 0 reads it, starting at a digit: "0x" hex,
// a leading 0 octal, else decimal. nullopt when it does not fit 32 bits.
std::optional<uint32_t> ReadPart(std::string_view text, size_t& pos) {
    uint32_t base = 10;
    if (text[pos] == '0') {
        base = 8;
        const bool hexPrefix = pos + 2 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
                               IsDigitOfBase(text[pos + 2], 16);
        if (hexPrefix) {
            base = 16;
            pos += 2;
        }
    }
    uint64_t value = 0;
    for (; pos < text.size() && IsDigitOfBase(text[pos], base); ++pos) {
        value = value * base + DigitValue(text[pos]);
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

bool IsAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

IPv4Address IPv4Address::FromNetworkOrder(uint32_t networkOrder) {
    const auto* b = reinterpret_cast<const unsigned char*>(&networkOrder);
    return FromOctets(b[0], b[1], b[2], b[3]);
}

uint32_t IPv4Address::NetworkOrder() const {
    uint32_t networkOrder = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&networkOrder);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(Octet(i));
    return networkOrder;
}

// "a.b.c.d", "a.b.c" (c fills 16 bits), "a.b" (b fills 24 bits) or "a" (32 bits).
IPv4Address IPv4Address::Parse(std::string_view text) {
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    uint32_t high = 0;  // the dotted parts before the last, in place
    int dotted = 0;
    size_t pos = 0;
    uint32_t last = 0;
    while (true) {
        if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return IPv4Address(kNotAnAddress);
        const std::optional<uint32_t> part = ReadPart(text, pos);
        if (!part) return IPv4Address(kNotAnAddress);
        if (pos < text.size() && text[pos] == '.') {
            if (dotted == 3 || *part > 0xFF) return IPv4Address(kNotAnAddress);
            high |= *part << (24 - 8 * dotted);
            ++dotted;
            ++pos;
            continue;
        }
        last = *part;
        break;
    }
    if (pos < text.size() && !IsAsciiSpace(text[pos])) return IPv4Address(kNotAnAddress);
    const uint32_t lastLimit = dotted == 0 ? 0xFFFFFFFFu : (0xFFFFFFFFu >> (8 * dotted));
    if (last > lastLimit) return IPv4Address(kNotAnAddress);
    return IPv4Address(high | last);
}

std::string IPv4Address::ToString() const {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", Octet(0), Octet(1), Octet(2), Octet(3));
    return text;
}

uint32_t ParseIPv4(const std::string& text) {
    return IPv4Address::Parse(text).NetworkOrder();
}

std::string FormatIPv4(uint32_t networkOrder) {
    return IPv4Address::FromNetworkOrder(networkOrder).ToString();
}

}  // namespace quillane
