#pragma once

// The system's neighbour table (the ARP cache): which hardware address
// answers for an IPv4 address on the local segment. A device that has just
// been sent a command by unicast has been resolved by the system, so its
// entry is there or appears within moments; the boot request its loader then
// broadcasts names that hardware address, which ties the request to the
// device and lets the boot answer carry the device's own address.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/ipv4.h"

namespace quillane {

using HardwareAddress = std::array<uint8_t, 6>;

// "02:51:0a:4d:01:05".
std::string HardwareAddressText(const HardwareAddress& address);

// All zeros, or a group (multicast or broadcast) address: names no device.
bool NamesNoDevice(const HardwareAddress& address);

// One read of the table, no waiting: the hardware address of a resolved entry
// for `address`, or nullopt (no entry, still being resolved, failed, or the
// table cannot be read). Linux reads /proc/net/arp of the calling thread's
// network namespace; Windows reads GetIpNetTable2.
std::optional<HardwareAddress> ReadNeighbourEntry(IPv4Address address);

// The entry for `address` in the text of Linux's /proc/net/arp: only a
// complete entry (flag 0x2) with a six-byte address that names a device.
std::optional<HardwareAddress> FindInProcNetArp(std::string_view text, IPv4Address address);

// A single read of some neighbour table; the real one or a test's.
using NeighbourReader = std::function<std::optional<HardwareAddress>(IPv4Address)>;

// How long a run waits for a freshly commanded device's entry, and how often it looks.
inline constexpr uint32_t kNeighbourWaitMs = 300;
inline constexpr uint32_t kNeighbourPollMs = 50;

// Reads the table until the entry appears, at most `waitMs` after the first
// read, pausing `pollMs` between reads (TickClock::Sleep, so a manual clock
// makes it instant in tests). nullopt when the address could not be learned:
// the caller then treats the device as one of unknown hardware address.
std::optional<HardwareAddress> LearnHardwareAddress(IPv4Address address,
                                                    const NeighbourReader& read = ReadNeighbourEntry,
                                                    uint32_t waitMs = kNeighbourWaitMs,
                                                    uint32_t pollMs = kNeighbourPollMs);

}  // namespace quillane
