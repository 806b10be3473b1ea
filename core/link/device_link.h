#pragma once

// The one way to send to a device: every command, probe and upgrade command
// leaves the device endpoint's socket through SendTo, to the devices' command
// port at the address given. The address travels with each call, so the
// threads that send (the command loop's search and address-change batch, the
// transfer that starts the next device of an upgrade run, the Upgrade button)
// never share a destination.

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "link/udp_endpoint.h"
#include "support/ipv4.h"

namespace quillane {

class DeviceLink {
public:
    // `endpoint` is the device endpoint, opened and closed by its owner; it
    // outlives the link. `commandPort`: where devices listen.
    DeviceLink(const ST_UDP_ENDPOINT_tag& endpoint, uint16_t commandPort)
        : m_endpoint(endpoint), m_commandPort(commandPort) {}
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    void SetCommandPort(uint16_t port) { m_commandPort.store(port); }
    uint16_t CommandPort() const { return m_commandPort.load(); }

    // Sends `copies` copies of the datagram to the command port of `address`,
    // back to back. Send results are not examined by the callers: a device that
    // misses a command is caught by the answer check or the upgrade time-out.
    // Returns the result of the last send (the bytes sent, or -1).
    int SendTo(IPv4Address address, std::span<const uint8_t> datagram, int copies = 1) const;

    // The same to a multicast group, out of each of the given interfaces
    // (named by one of their addresses, network order), so that devices
    // behind every network card hear it. Returns the interfaces used (0: the
    // system's default way).
    int SendToGroupOnEachInterface(IPv4Address group, std::span<const uint8_t> datagram, int copies,
                                   const std::vector<uint32_t>& interfaces) const;

    // The port the endpoint is bound to (host order); 0 when it has no socket.
    uint16_t LocalPort() const;

private:
    sockaddr_in Destination(IPv4Address address) const;

    const ST_UDP_ENDPOINT_tag& m_endpoint;
    std::atomic<uint16_t> m_commandPort;
};

}  // namespace quillane
