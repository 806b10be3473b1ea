#include "support/ipv4.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using namespace quillane;

// The table's cells are read as inet_addr reads them; the system's own
// inet_addr is the oracle for every odd text a cell might hold.
TEST(IPv4Address, ParsesTextExactlyAsInetAddr) {
    const char* texts[] = {
        "192.168.1.10", "0.0.0.0", "255.255.255.255", "10.77.1.1 ", "10.77.1.1\tx", "10.77.1.1x",
        "", " 10.1.1.1", "1.2.3", "1.2.65535", "1.2.65536", "1.16777215", "1.16777216", "3232235786",
        "4294967295", "4294967296", "99999999999999999999", "0x7f.1", "0X7F.0.0.1", "0x", "0x.1.1.1", "0xg",
        "017.0.0.1", "08.1.1.1", "1.2.3.4.", "1.2.3.4.5", "1..2.3", "256.1.1.1", "1.256.1.1", "1.2.3.256",
        "-1.2.3.4", "+1.2.3.4", "a.b.c.d", ".1.2.3", "1.2.3.4\n", "00000000000000000001.2.3.4",
        "0x00000000000000001.2.3.4", "1.2.3.0377", "1.2.3.0400", "1.2.0xffff", "1.0xffffff", "0xffffffff",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(IPv4Address::Parse(text).NetworkOrder(), ::inet_addr(text));
        EXPECT_EQ(ParseIPv4(text), ::inet_addr(text));
    }
    EXPECT_EQ(IPv4Address::Parse(std::string("1.2.3.4\0junk", 12)), IPv4Address::FromOctets(1, 2, 3, 4));
}

TEST(IPv4Address, ConvertsBetweenItsThreeForms) {
    const IPv4Address a = IPv4Address::FromOctets(192, 168, 1, 10);
    EXPECT_EQ(a.Number(), 0xC0A8010Au);
    EXPECT_EQ(a.Octet(0), 192u);
    EXPECT_EQ(a.Octet(3), 10u);
    EXPECT_EQ(a.ToString(), "192.168.1.10");
    EXPECT_EQ(a.NetworkOrder(), ::inet_addr("192.168.1.10"));
    EXPECT_EQ(a.NetworkOrder(), htonl(0xC0A8010Au));
    EXPECT_EQ(IPv4Address::FromNetworkOrder(::inet_addr("10.77.255.1")), IPv4Address(0x0A4DFF01u));
    EXPECT_EQ(FormatIPv4(::inet_addr("172.16.0.254")), "172.16.0.254");
    EXPECT_LT(IPv4Address::Parse("255.255.0.0"), IPv4Address::Parse("255.255.255.0")) << "longer mask is larger";
}

TEST(IPv4Address, KnowsNetworksBroadcastsAndGroups) {
    struct Case {
        const char* address;
        const char* mask;
        bool broadcast;
        bool multicast;
    };
    const Case cases[] = {
        {"10.77.255.255", "255.255.0.0", true, false},
        {"10.77.1.255", "255.255.0.0", false, false},
        {"10.77.1.255", "255.255.255.0", true, false},
        {"255.255.255.255", "255.255.255.0", true, false},
        {"10.0.0.1", "255.255.255.254", false, false},  // a /31 has two hosts and no broadcast
        {"10.0.0.1", "255.255.255.255", false, false},
        {"224.0.2.0", "255.255.255.0", false, true},
        {"239.255.255.254", "255.0.0.0", false, true},
        {"240.0.0.1", "255.0.0.0", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const IPv4Address address = IPv4Address::Parse(c.address);
        EXPECT_EQ(address.IsBroadcastOf(IPv4Address::Parse(c.mask)), c.broadcast);
        EXPECT_EQ(address.IsMulticast(), c.multicast);
    }
    const IPv4Address mask = IPv4Address::Parse("255.255.255.0");
    EXPECT_TRUE(IPv4Address::Parse("192.168.1.37").SameNetwork(IPv4Address::Parse("192.168.1.200"), mask));
    EXPECT_FALSE(IPv4Address::Parse("192.168.1.37").SameNetwork(IPv4Address::Parse("192.168.2.5"), mask));
}
