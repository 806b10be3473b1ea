#pragma once

// The boot-address responder: answers a device loader's 300-byte boot request
// (BOOTP layout) with the address the device is to use, the workstation's
// address that faces it and the path of the firmware file to fetch by TFTP.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/udp_socket.h"

namespace quillane {

class StationState;

inline constexpr size_t kBootPacketSize = 300;
inline constexpr size_t kBootSecsOffset = 8;
inline constexpr size_t kBootYiaddrOffset = 16;
inline constexpr size_t kBootSiaddrOffset = 20;
inline constexpr size_t kBootFileOffset = 108;
inline constexpr size_t kBootFileSize = 128;

// The two addresses of a reply, network order.
struct BootAddresses {
    uint32_t device = 0;  // yiaddr
    uint32_t server = 0;  // siaddr
};

// The first local address and, for the device, its .254 neighbour.
BootAddresses FallbackBootAddresses(const std::string& firstLocalAddress);

// Turns a request into its reply: op + 1, secs 0x01 0x00, both addresses, and
// the path in the file field with the rest of the field zeroed. No reply
// (nullopt) unless the request is exactly 300 bytes and the path fits the
// field with room left (below 128 bytes).
std::optional<std::vector<uint8_t>> BuildBootReply(const uint8_t* request, size_t length,
                                                   const std::string& path, const BootAddresses& addresses);

// The endpoint's receive callback; `user` is the station. Posts a 300-byte
// request to the command loop, which answers it; other lengths are dropped.
void OnBootRequest(const sockaddr_in* from, const uint8_t* data, int length, void* user);

// The command loop's answer to a boot request: from the device table and the
// local address lists as they are now, broadcast to the station's boot reply
// address and client port from the boot endpoint. During a run the answer
// goes to the asking device by its hardware address, or to none
// (boot_answer_rule.h); a device answered moves on to its TFTP request.
void AnswerBootRequest(StationState& station, const uint8_t* data, size_t length);

// Decides the reply's addresses (upgrading: a run is active; the caller holds
// the list lock then): none (no local address, or a run without a chosen row
// from the run's current row on).
std::optional<BootAddresses> ChooseBootAddresses(StationState& station, bool upgrading);

// The address (network order) that the boot reply gives the device being
// upgraded, whose TFTP requests come from it: the first chosen row from
// `currentRow` on. 0 when no upgrade runs or no row is chosen.
uint32_t UpgradingDeviceAddress(const StationState& station, int32_t currentRow);

}  // namespace quillane
