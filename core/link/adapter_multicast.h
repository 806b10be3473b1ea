#pragma once

// Multicast on every network card: a workstation with two cards must find the
// devices behind both, but the system sends a multicast datagram by one
// interface only and joins a group on one unless told otherwise. Interfaces
// are named by one of their IPv4 addresses (network order), as the adapter
// query gives them.

#include <cstdint>
#include <vector>

#include "support/udp_socket.h"

namespace quillane {

// 224.0.0.0/4; `address` in network order.
inline bool IsMulticastAddress(uint32_t address) {
    return (ntohl(address) & 0xF0000000u) == 0xE0000000u;
}

// Joins `group` on each interface. An interface that is already a member (the
// default join may have covered it) or that has gone is passed over. Returns
// the number of joins that took.
int JoinGroupOnEachInterface(SocketHandle socket, uint32_t group, const std::vector<uint32_t>& interfaces);

// Sends `copies` copies of the datagram to `to` out of each interface, then
// gives later multicast back to the system's default interface. With no
// interface, or none the system accepts, the copies leave the default way.
// Returns the number of interfaces used (0: the default way).
int SendOnEachInterface(SocketHandle socket, const sockaddr_in& to, const void* data, size_t length,
                        int copies, const std::vector<uint32_t>& interfaces);

}  // namespace quillane
