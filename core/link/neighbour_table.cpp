#include "link/neighbour_table.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
// In this order: the neighbour table's types need the IP definitions first.
// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
// clang-format on
#endif

#include "support/tick_clock.h"

namespace quillane {

namespace {

constexpr unsigned long kArpEntryComplete = 0x2;  // ATF_COM

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "aa:bb:cc:dd:ee:ff", exactly.
std::optional<HardwareAddress> ParseColonHardwareAddress(std::string_view text) {
    if (text.size() != 17) return std::nullopt;
    HardwareAddress address{};
    for (size_t i = 0; i < 6; ++i) {
        const int high = HexDigit(text[3 * i]), low = HexDigit(text[3 * i + 1]);
        if (high < 0 || low < 0 || (i < 5 && text[3 * i + 2] != ':')) return std::nullopt;
        address[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return address;
}

}  // namespace

std::string HardwareAddressText(const HardwareAddress& address) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1], address[2],
                  address[3], address[4], address[5]);
    return text;
}

bool NamesNoDevice(const HardwareAddress& address) {
    const bool zero = std::all_of(address.begin(), address.end(), [](uint8_t b) { return b == 0; });
    return zero || (address[0] & 0x01) != 0;  // the group bit: multicast and broadcast
}

std::optional<HardwareAddress> FindInProcNetArp(std::string_view text, IPv4Address address) {
    std::istringstream lines{std::string(text)};
    std::string line;
    std::getline(lines, line);  // the column titles
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string ip, type, flags, hardware;
        if (!(fields >> ip >> type >> flags >> hardware)) continue;
        if (IPv4Address::Parse(ip) != address) continue;
        char* end = nullptr;
        const unsigned long flagBits = std::strtoul(flags.c_str(), &end, 16);
        if (end == flags.c_str() || !(flagBits & kArpEntryComplete)) continue;
        const auto parsed = ParseColonHardwareAddress(hardware);
        if (parsed && !NamesNoDevice(*parsed)) return parsed;
    }
    return std::nullopt;
}

#ifdef _WIN32

std::optional<HardwareAddress> ReadNeighbourEntry(IPv4Address address) {
    MIB_IPNET_TABLE2* table = nullptr;
    if (GetIpNetTable2(AF_INET, &table) != NO_ERROR || !table) return std::nullopt;
    std::optional<HardwareAddress> found;
    for (ULONG i = 0; i < table->NumEntries && !found; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        if (row.Address.si_family != AF_INET || row.Address.Ipv4.sin_addr.s_addr != address.NetworkOrder())
            continue;
        // Unreachable and incomplete entries carry no usable address yet.
        if (row.State < NlnsProbe || row.PhysicalAddressLength != 6) continue;
        HardwareAddress hardware{};
        std::copy(row.PhysicalAddress, row.PhysicalAddress + 6, hardware.begin());
        if (!NamesNoDevice(hardware)) found = hardware;
    }
    FreeMibTable(table);
    return found;
}

#else

std::optional<HardwareAddress> ReadNeighbourEntry(IPv4Address address) {
    std::ifstream file("/proc/net/arp");
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return FindInProcNetArp(text.str(), address);
}

#endif

std::optional<HardwareAddress> LearnHardwareAddress(IPv4Address address, const NeighbourReader& read,
                                                    uint32_t waitMs, uint32_t pollMs) {
    const uint32_t start = TickClock::Now();
    for (;;) {
        if (auto found = read(address)) return found;
        const uint32_t waited = TickClock::Now() - start;  // unsigned: right across the wrap
        if (waited >= waitMs) return std::nullopt;
        TickClock::Sleep(std::max<uint32_t>(1, std::min(pollMs, waitMs - waited)));
    }
}

}  // namespace quillane
