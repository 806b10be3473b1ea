#pragma once

// UDP helpers that carry the local address of each datagram (IP_PKTINFO):
// one socket on 0.0.0.0 learns which address a datagram was sent to, and
// sends each reply from the address of the device that answers. This is what
// lets one process play thousands of devices with a single socket.

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace devsim {

struct ReceivedDatagram {
    int length = -1;           // -1: nothing waiting or an error
    uint32_t destination = 0;  // host order: the address it was sent to
    int interfaceIndex = 0;
    uint32_t peerIp = 0;  // host order
    uint16_t peerPort = 0;
};

// A UDP socket bound to 0.0.0.0:port with IP_PKTINFO on; -1 and `error` on failure.
int OpenPktinfoSocket(uint16_t port, bool reuseAddress, std::string& error);
// Joins `group` (host order) on the interface with this index.
bool JoinGroupOnInterface(int socket, uint32_t group, int interfaceIndex);
ReceivedDatagram ReceivePktinfo(int socket, uint8_t* buffer, size_t capacity);
// Sends from `source` (host order; must be an address of this namespace).
int SendFrom(int socket, uint32_t source, uint32_t destination, uint16_t port, const void* data,
             size_t length);

// The IPv4 addresses of this namespace (host order) and their interface index.
std::map<uint32_t, int> LocalAddresses();

std::string Endpoint(uint32_t address, uint16_t port);

}  // namespace devsim
