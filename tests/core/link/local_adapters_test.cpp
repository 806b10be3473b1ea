#include "link/local_adapters.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "link/adapter_query.h"
#include "link/segment_rule.h"

using namespace quillane;

namespace {

// Runs one adapter's "IPAddress" and "SubnetMask" values through the
// acceptance and pairing rules, as the refresh does.
std::pair<AddressList, AddressList> Pairs(const std::vector<std::pair<AddressList, AddressList>>& adapters) {
    AddressList ips, masks;
    for (const auto& [addressValue, maskValue] : adapters)
        AppendAddressPairs(AcceptInterfaceAddresses(addressValue), AcceptInterfaceMasks(maskValue), ips,
                           masks);
    return {ips, masks};
}

TEST(LocalAdaptersTest, AcceptanceAndPairingRules) {
    struct Case {
        const char* what;
        std::vector<std::pair<AddressList, AddressList>> adapters;
        AddressList ips, masks;
    } cases[] = {
        {"no adapter", {}, {}, {}},
        {"second adapter unconfigured",
         {{{"192.168.1.10"}, {"255.255.255.0"}}, {{"0.0.0.0"}, {"0.0.0.0"}}},
         {"192.168.1.10"},
         {"255.255.255.0"}},
        {"fewer masks than addresses",
         {{{"10.0.0.5", "10.0.1.5"}, {"255.0.0.0"}}},
         {"10.0.0.5", "10.0.1.5"},
         {"255.0.0.0", "255.255.255.0"}},
        {"seven-character first address drops the adapter",
         {{{"1.2.3.4", "10.0.0.9"}, {"255.0.0.0"}}},
         {},
         {}},
        {"seven-character second address is taken",
         {{{"10.0.0.9", "1.2.3.4"}, {"255.0.0.0", "255.255.0.0"}}},
         {"10.0.0.9", "1.2.3.4"},
         {"255.0.0.0", "255.255.0.0"}},
        {"further address needs a dot after its start",
         {{{"10.0.0.9", ".1.2.3.4", "1234567", "10.0.0.10"}, {"255.0.0.0"}}},
         {"10.0.0.9", "10.0.0.10"},
         {"255.0.0.0", "255.255.255.0"}},
        {"further masks need more than eight characters",
         {{{"10.0.0.9", "10.0.1.9"}, {"255.0.0.0", "0.0.0.0"}}},
         {"10.0.0.9", "10.0.1.9"},
         {"255.0.0.0", "255.255.255.0"}},
        {"first mask taken whatever its length", {{{"10.0.0.9"}, {"x"}}}, {"10.0.0.9"}, {"x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto [ips, masks] = Pairs(c.adapters);
        EXPECT_EQ(ips, c.ips);
        EXPECT_EQ(masks, c.masks);
    }
}

TEST(LocalAdaptersTest, HardwareAddressText) {
    const uint8_t bytes[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(FormatHardwareAddress(bytes), "00-1a-2b-3c-4d-5e\n");
}

// On this machine: only Ethernet adapters are listed (never loopback), and the
// refreshed lists stay index-aligned.
TEST(LocalAdaptersTest, QueryListsEthernetAdaptersOnly) {
    CIPAddressToos tools;
    AddressList names, macs, addresses, masks;
    tools.QueryAdapters(&names, &macs, &addresses, &masks, nullptr);
    EXPECT_EQ(names.size(), macs.size());
    EXPECT_EQ(std::count(names.begin(), names.end(), "lo"), 0);
    EXPECT_EQ(std::count(addresses.begin(), addresses.end(), "127.0.0.1"), 0);
    EXPECT_EQ(addresses.size(), masks.size());
    tools.QueryAdapters(nullptr, nullptr, nullptr, nullptr, nullptr);  // nothing wanted, nothing done

    const LocalAddressLists local = QueryLocalAddresses();
    EXPECT_EQ(local.ips.size(), local.masks.size());
    EXPECT_EQ(std::count(local.ips.begin(), local.ips.end(), "127.0.0.1"), 0);
}

TEST(SegmentRuleTest, FirstLocalSubnetUnderTheLongerMaskDecides) {
    const AddressList ips = {"192.168.40.10", "10.0.0.5", "10.1.0.1"};
    const AddressList masks = {"255.255.255.0", "255.0.0.0", "255.255.0.0"};
    struct Case {
        const char* device;
        const char* mask;
        int facing;
    } cases[] = {
        {"192.168.40.99", "255.255.255.0", 0},
        {"192.168.40.99", "255.255.0.0", 0},  // the local /24 is longer
        {"192.168.41.99", "255.255.0.0", -1},
        {"10.1.2.3", "255.255.0.0", 2},  // 10.0/16 differs, 10.1/16 matches
        {"10.200.2.3", "255.0.0.0", 1},
        {"10.1.2.3", "255.255.255.0", -1},  // the device's /24 is longer than every local mask
        {"172.16.0.1", "0.0.0.0", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        EXPECT_EQ(FindFacingLocalAddress(c.device, c.mask, ips, masks), c.facing);
    }
    EXPECT_EQ(FindFacingLocalAddress("10.1.2.3", "255.255.0.0", {}, {}), -1);
    // Masks without an address are skipped.
    EXPECT_EQ(FindFacingLocalAddress("10.1.2.3", "255.0.0.0", {"192.168.1.1"}, {"255.255.255.0", "0.0.0.0"}),
              -1);
}

}  // namespace
