#include "link/device_link.h"

#include <gtest/gtest.h>

#include "link/protocol.h"

using namespace quillane;

namespace {

const AddressChangeValues kExample{0xC0A8010A, 0xC0A801FA, 0xC0A801FB, 0xC0A8010B, 0xC0A80101, 0xFFFFFF00};

// Every send leaves the device endpoint's socket for the command port of the
// address given with it: copies back to back, and the group form with only the device number's low 16 bits.
TEST(DeviceLink, SendsFromTheDeviceEndpointToTheGivenAddress) {
    ST_UDP_ENDPOINT_tag endpoint;
    ASSERT_EQ(UdpEndpointOpen(endpoint, 0, nullptr, nullptr), 1);
    const SocketHandle device = UdpSocketCreate();
    ASSERT_TRUE(SocketBind(device, htonl(INADDR_LOOPBACK), 0));
    const DeviceLink link(endpoint, SocketLocalPort(device));
    EXPECT_EQ(link.LocalPort(), SocketLocalPort(endpoint.socket));
    const IPv4Address loopback = IPv4Address::FromOctets(127, 0, 0, 1);

    auto receive = [&] {
        uint8_t buffer[100];
        sockaddr_in from{};
        const int n = SocketWaitReadable(device, 2000) == 1
                          ? SocketReceiveFrom(device, buffer, sizeof buffer, &from)
                          : -1;
        EXPECT_EQ(ntohs(from.sin_port), link.LocalPort());
        return n < 0 ? Datagram{} : Datagram(buffer, buffer + n);
    };

    link.SendTo(loopback, BuildUpgradeCommand(), 3);
    for (int copy = 0; copy < 3; ++copy) EXPECT_EQ(receive(), BuildUpgradeCommand()) << copy;

    EXPECT_EQ(link.SendTo(loopback, BuildGroupAddressChange(0x10007, kExample)),
              static_cast<int>(kChangeGroupLength));
    EXPECT_EQ(receive(), BuildGroupAddressChange(7, kExample));

    link.SendTo(loopback, BuildSearchProbe(), 2);
    EXPECT_EQ(receive(), BuildSearchProbe());
    EXPECT_EQ(receive(), BuildSearchProbe());
    SocketClose(device);
}

TEST(DeviceLink, WithoutASocketNothingIsSentAndNoPortIsBound) {
    ST_UDP_ENDPOINT_tag endpoint;
    const DeviceLink link(endpoint, 25000);
    EXPECT_EQ(link.LocalPort(), 0);
    EXPECT_LT(link.SendTo(IPv4Address::FromOctets(127, 0, 0, 1), BuildSearchProbe()), 0);
}

}  // namespace
