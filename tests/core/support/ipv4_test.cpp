#include "support/ipv4.h"

#include <gtest/gtest.h>

#include "support/udp_socket.h"  // inet_addr and htonl, the system's own readings

using namespace quillane;

// The table's cells are read as inet_addr reads them, on every platform the
// same: short forms, hexadecimal and octal parts, trailing white space.
TEST(IPv4Address, ParsesTextAsInetAddrDoes) {
    struct Case {
        const char* text;
        const char* address;  // 255.255.255.255 also for "not an address"
    };
    const Case cases[] = {
        {"192.168.1.10", "192.168.1.10"},  {"0.0.0.0", "0.0.0.0"},
        {"10.77.1.1 ", "10.77.1.1"},       {"10.77.1.1\tx", "10.77.1.1"},
        {"1.2.3.4\n", "1.2.3.4"},          {"1.2.3", "1.2.0.3"},
        {"1.2.65535", "1.2.255.255"},      {"1.16777215", "1.255.255.255"},
        {"3232235786", "192.168.1.10"},    {"0x7f.1", "127.0.0.1"},
        {"0X7F.0.0.1", "127.0.0.1"},       {"017.0.0.1", "15.0.0.1"},
        {"1.2.3.0377", "1.2.3.255"},       {"00000000000000000001.2.3.4", "1.2.3.4"},
        {"1.2.0xffff", "1.2.255.255"},     {"10.77.1.1x", "255.255.255.255"},
        {"", "255.255.255.255"},           {" 10.1.1.1", "255.255.255.255"},
        {"1.2.65536", "255.255.255.255"},  {"1.16777216", "255.255.255.255"},
        {"4294967296", "255.255.255.255"}, {"99999999999999999999", "255.255.255.255"},
        {"0x", "255.255.255.255"},         {"0x.1.1.1", "255.255.255.255"},
        {"08.1.1.1", "255.255.255.255"},   {"1.2.3.4.", "255.255.255.255"},
        {"1.2.3.4.5", "255.255.255.255"},  {"1..2.3", "255.255.255.255"},
        {"256.1.1.1", "255.255.255.255"},  {"1.2.3.256", "255.255.255.255"},
        {"1.2.3.0400", "255.255.255.255"}, {"-1.2.3.4", "255.255.255.255"},
        {"+1.2.3.4", "255.255.255.255"},   {"a.b.c.d", "255.255.255.255"},
        {".1.2.3", "255.255.255.255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IPv4Address::Parse(c.text).ToString(), c.address);
        EXPECT_EQ(FormatIPv4(ParseIPv4(c.text)), c.address);
#ifndef _WIN32
        EXPECT_EQ(ParseIPv4(c.text), ::inet_addr(c.text)) << "the system's own reading";
#endif
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
    EXPECT_LT(IPv4Address::Parse("255.255.0.0"), IPv4Address::Parse("255.255.255.0"))
        << "longer mask is larger";
}

TEST(IPv4Address, KnowsNetworksBroadcastsAndGroups) {
    struct Case {
        const char* address;
        const char* mask;
        bool broadcast;
        bool multicast;
    };
    const Case cases[] = {
        {"10.77.255.255", "255.255.0.0", true, false}, {"10.77.1.255", "255.255.0.0", false, false},
        {"10.77.1.255", "255.255.255.0", true, false}, {"255.255.255.255", "255.255.255.0", true, false},
        {"10.0.0.1", "255.255.255.254", false, false},  // a /31 has two hosts and no broadcast
        {"10.0.0.1", "255.255.255.255", false, false}, {"224.0.2.0", "255.255.255.0", false, true},
        {"239.255.255.254", "255.0.0.0", false, true}, {"240.0.0.1", "255.0.0.0", false, false},
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
