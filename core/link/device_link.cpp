#include "link/device_link.h"

#include "link/adapter_multicast.h"

namespace quillane {

sockaddr_in DeviceLink::Destination(IPv4Address address) const {
    return MakeAddress(address.NetworkOrder(), m_commandPort.load());
}

int DeviceLink::SendTo(IPv4Address address, std::span<const uint8_t> datagram, int copies) const {
    const sockaddr_in to = Destination(address);
    int result = -1;
    for (int copy = 0; copy < copies; ++copy)
        result = SocketSendTo(m_endpoint.socket, datagram.data(), datagram.size(), to);
    return result;
}

int DeviceLink::SendToGroupOnEachInterface(IPv4Address group, std::span<const uint8_t> datagram, int copies,
                                           const std::vector<uint32_t>& interfaces) const {
    return SendOnEachInterface(m_endpoint.socket, Destination(group), datagram.data(), datagram.size(),
                               copies, interfaces);
}

uint16_t DeviceLink::LocalPort() const {
    return UdpEndpointLocalPort(m_endpoint);
}

}  // namespace quillane
