#pragma once

// Devices on 127.0.0.0/8 only: sockets bound to loopback addresses of their
// own, all on one command port, so each one sees exactly the commands sent to
// its address and nothing sent to them can leave the machine.

#include <string>
#include <vector>

#include "link/protocol.h"
#include "support/udp_socket.h"

namespace quillane::test {

// Sockets standing for devices at the given loopback addresses, one port.
class LoopbackDevices {
public:
    explicit LoopbackDevices(const std::vector<std::string>& addresses) {
        uint16_t port = 0;
        for (const std::string& address : addresses) {
            const SocketHandle socket = UdpSocketCreate();
            SocketBind(socket, ParseIPv4(address), port);
            port = SocketLocalPort(socket);
            m_sockets.push_back(socket);
        }
        m_port = port;
    }
    ~LoopbackDevices() {
        for (SocketHandle socket : m_sockets) SocketClose(socket);
    }
    LoopbackDevices(const LoopbackDevices&) = delete;
    LoopbackDevices& operator=(const LoopbackDevices&) = delete;

    uint16_t Port() const { return m_port; }
    // What the device `index` received until `waitMs` passed without a datagram.
    std::vector<Datagram> Received(size_t index, int waitMs = 30) {
        std::vector<Datagram> all;
        uint8_t buffer[2048];
        while (SocketWaitReadable(m_sockets[index], waitMs) == 1) {
            const int n = SocketReceiveFrom(m_sockets[index], buffer, sizeof buffer, nullptr);
            if (n > 0) all.emplace_back(buffer, buffer + n);
        }
        return all;
    }

private:
    std::vector<SocketHandle> m_sockets;
    uint16_t m_port = 0;
};

inline const std::vector<Datagram> kThreeUpgradeCommands(3, BuildUpgradeCommand());

}  // namespace quillane::test
