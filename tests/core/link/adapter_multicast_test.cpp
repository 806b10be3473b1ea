#include "link/adapter_multicast.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quillane;

namespace {

constexpr uint32_t kLoopback = 0x7F000001;  // host order

// Unicast to a loopback socket stands in for the group: the interface choice
// only steers multicast, so what is observed is the count of copies and the
// interface setting left behind.
class SendOnEachInterfaceTest : public ::testing::Test {
protected:
    SendOnEachInterfaceTest() : receiver(UdpSocketCreate()), sender(UdpSocketCreate()) {
        SocketBind(receiver, htonl(kLoopback), 0);
        SocketBind(sender, htonl(kLoopback), 0);
    }
    ~SendOnEachInterfaceTest() override {
        SocketClose(receiver);
        SocketClose(sender);
    }
    size_t Received() {
        size_t count = 0;
        uint8_t buffer[64];
        while (SocketWaitReadable(receiver, 50) == 1)
            count += SocketReceiveFrom(receiver, buffer, sizeof buffer, nullptr) > 0;
        return count;
    }
    uint32_t MulticastInterface() const {
        in_addr chosen{};
        socklen_t length = sizeof chosen;
        getsockopt(sender, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<char*>(&chosen), &length);
        return chosen.s_addr;
    }

    SocketHandle receiver, sender;
};

}  // namespace

TEST_F(SendOnEachInterfaceTest, CopiesGoOutPerInterfaceAndTheDefaultComesBack) {
    struct Case {
        std::vector<uint32_t> interfaces;
        int used;
        size_t datagrams;
    };
    const uint32_t loopback = htonl(kLoopback);
    const uint32_t foreign = htonl(0xC0000201);  // 192.0.2.1: no interface of this machine
    const Case cases[] = {
        {{}, 0, 3},  // no card: the default way
        {{loopback}, 1, 3},
        {{loopback, loopback}, 2, 6},  // three copies per card
        {{foreign}, 0, 3},             // no card the system takes: still sent, the default way
        {{foreign, loopback}, 1, 3},
    };
    const uint8_t probe[12] = {1, 2, 3};
    const sockaddr_in to = MakeAddress(htonl(kLoopback), SocketLocalPort(receiver));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interfaces.size());
        EXPECT_EQ(SendOnEachInterface(sender, to, probe, sizeof probe, 3, c.interfaces), c.used);
        EXPECT_EQ(Received(), c.datagrams);
        EXPECT_EQ(MulticastInterface(), htonl(INADDR_ANY)) << "later group commands take the system's route";
    }
}

TEST(MulticastAddress, OnlyTheClassDRange) {
    EXPECT_TRUE(IsMulticastAddress(htonl(0xE0000200)));
    EXPECT_TRUE(IsMulticastAddress(htonl(0xEFFFFFFF)));
    EXPECT_FALSE(IsMulticastAddress(htonl(0xDFFFFFFF)));
    EXPECT_FALSE(IsMulticastAddress(htonl(0xF0000000)));
    EXPECT_FALSE(IsMulticastAddress(htonl(kLoopback)));
}
