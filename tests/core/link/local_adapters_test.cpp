#include "link/local_adapters.h"

#ifdef _WIN32
#include <winsock2.h>
#include <iphlpapi.h>
#include <ws2tcpip.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

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

// An adapter's configured values decide when they give an address; else an
// Ethernet adapter's current addresses count (DHCP leaves "0.0.0.0" in the
// configured values, wine leaves none).
TEST(LocalAdaptersTest, ConfiguredAddressesFirstThenCurrentOnes) {
    const AdapterAddressSources staticAdapter{true,
                                              {"192.168.1.10"},
                                              {"255.255.255.0"},
                                              {"192.168.1.10", "10.9.9.9"},
                                              {"255.255.255.0", "255.0.0.0"}};
    const AdapterAddressSources dhcpAdapter{
        true, {"0.0.0.0"}, {"0.0.0.0"}, {"192.168.44.23"}, {"255.255.252.0"}};
    struct Case {
        const char* what;
        std::vector<AdapterAddressSources> adapters;
        AddressList ips, masks;
    } cases[] = {
        {"configured address accepted, current list not used",
         {staticAdapter},
         {"192.168.1.10"},
         {"255.255.255.0"}},
        {"DHCP: configured 0.0.0.0, current address taken",
         {dhcpAdapter},
         {"192.168.44.23"},
         {"255.255.252.0"}},
        {"no configured values at all",
         {{true, {}, {}, {"10.77.0.1"}, {"255.255.0.0"}}},
         {"10.77.0.1"},
         {"255.255.0.0"}},
        {"not Ethernet: neither list counts",
         {{false, {"192.168.1.10"}, {"255.255.255.0"}, {"192.168.1.10"}, {"255.255.255.0"}}},
         {},
         {}},
        {"several current addresses, unset entries and masks",
         {{true,
           {},
           {},
           {"0.0.0.0", "10.0.0.5", "", "10.0.1.5", "10.0.2.5"},
           {"0.0.0.0", "255.0.0.0", "255.0.0.0", ""}}},
         {"10.0.0.5", "10.0.1.5", "10.0.2.5"},
         {"255.0.0.0", "255.255.255.0", "255.255.255.0"}},
        {"no lease yet: nothing", {{true, {"0.0.0.0"}, {"0.0.0.0"}, {"0.0.0.0"}, {"0.0.0.0"}}}, {}, {}},
        {"a rejected configured address falls back to the current list",
         {{true, {"1.2.3.4"}, {"255.0.0.0"}, {"1.2.3.4"}, {"255.0.0.0"}}},
         {"1.2.3.4"},
         {"255.0.0.0"}},
        {"static and DHCP adapters, in adapter order",
         {dhcpAdapter, staticAdapter},
         {"192.168.44.23", "192.168.1.10"},
         {"255.255.252.0", "255.255.255.0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AddressList ips, masks;
        for (const auto& adapter : c.adapters) AppendAdapterAddresses(adapter, ips, masks);
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

#ifdef _WIN32
// The IPv4 addresses of the Ethernet adapters that have no configured
// address (as wine's and a DHCP workstation's are), with the masks of their
// prefixes, as the newer adapter interface reports them: a second witness
// beside the query under test.
std::pair<AddressList, AddressList> UnconfiguredEthernetAddresses() {
    AddressList ips, masks;
    ULONG size = 16 * 1024;
    std::unique_ptr<unsigned char[]> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer = std::make_unique<unsigned char[]>(size);
        result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result != NO_ERROR) return {};
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter;
         adapter = adapter->Next) {
        if (adapter->IfType != IF_TYPE_ETHERNET_CSMACD) continue;
        if (!AcceptInterfaceAddresses(InterfaceAddressValue(adapter->AdapterName)).empty()) continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(unicast->Address.lpSockaddr);
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
            const uint32_t prefix = unicast->OnLinkPrefixLength;
            const uint32_t mask = prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
            ips.push_back(text);
            masks.push_back(std::to_string(mask >> 24) + "." + std::to_string((mask >> 16) & 255) + "." +
                            std::to_string((mask >> 8) & 255) + "." + std::to_string(mask & 255));
        }
    }
    return {ips, masks};
}

// Under wine no adapter has configured values: the refresh must still know
// the workstation's addresses, else every upgrade fails as "not the segment".
TEST(LocalAdaptersTest, AdapterWithoutConfiguredValuesCountsWithItsCurrentAddress) {
    const auto [ips, masks] = UnconfiguredEthernetAddresses();
    if (ips.empty()) GTEST_SKIP() << "this system has no Ethernet adapter without a configured address";
    const LocalAddressLists local = QueryLocalAddresses();
    for (size_t k = 0; k < ips.size(); ++k) {
        SCOPED_TRACE(ips[k]);
        const auto at = std::find(local.ips.begin(), local.ips.end(), ips[k]);
        ASSERT_NE(at, local.ips.end());
        EXPECT_EQ(local.masks[at - local.ips.begin()], masks[k]);
    }
}
#endif

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
