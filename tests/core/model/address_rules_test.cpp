#include "model/address_rules.h"

#include <gtest/gtest.h>

#include "model/texts.h"

namespace quillane {
namespace {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

TEST(AddressRules, ContiguousMasks) {
    for (uint32_t bits = 0; bits <= 32; ++bits) {
        const uint32_t mask = bits == 0 ? 0 : 0xFFFFFFFFu << (32 - bits);
        EXPECT_TRUE(IsContiguousMask(mask)) << bits;
    }
    for (uint32_t split :
         {Ip(255, 0, 255, 0), Ip(0, 255, 255, 255), Ip(255, 255, 255, 1), Ip(254, 255, 0, 0)})
        EXPECT_FALSE(IsContiguousMask(split)) << split;
}

// The device has `present`; each case changes one setting (or two) to an
// unusable value, and the same value is harmless when the device has it already.
TEST(AddressRules, EveryUnusableNewSettingIsFoundAndAnUnchangedOneIsNot) {
    const AddressSettings present{Ip(10, 201, 3, 4), Ip(255, 255, 0, 0), Ip(10, 201, 0, 1), Ip(10, 201, 0, 2),
                                  Ip(10, 201, 0, 3)};
    struct Case {
        const char* name;
        AddressSettings next;
        UnusableSetting expected;
    };
    auto with = [&present](uint32_t AddressSettings::*field, uint32_t value) {
        AddressSettings s = present;
        s.*field = value;
        return s;
    };
    using F = SettingField;
    using E = SettingFault;
    const Case cases[] = {
        {"ip multicast", with(&AddressSettings::ip, Ip(224, 0, 0, 1)), {F::kIp, E::kFirstOctet}},
        {"ip 0.0.0.0", with(&AddressSettings::ip, 0), {F::kIp, E::kFirstOctet}},
        {"ip 255.255.255.255", with(&AddressSettings::ip, 0xFFFFFFFF), {F::kIp, E::kFirstOctet}},
        {"ip loopback", with(&AddressSettings::ip, Ip(127, 0, 0, 1)), {F::kIp, E::kLoopback}},
        {"ip network", with(&AddressSettings::ip, Ip(10, 201, 0, 0)), {F::kIp, E::kNetworkAddress}},
        {"ip broadcast", with(&AddressSettings::ip, Ip(10, 201, 255, 255)), {F::kIp, E::kBroadcastAddress}},
        {"split mask", with(&AddressSettings::mask, Ip(255, 0, 255, 0)), {F::kMask, E::kSplitMask}},
        {"a longer mask makes the kept address a network address",
         with(&AddressSettings::mask, Ip(255, 255, 255, 252)),
         {F::kMask, E::kNetworkAddress}},
        {"gateway multicast",
         with(&AddressSettings::gateway, Ip(224, 0, 0, 1)),
         {F::kGateway, E::kFirstOctet}},
        {"gateway none", with(&AddressSettings::gateway, 0), {F::kGateway, E::kFirstOctet}},
        {"server 255.255.255.255", with(&AddressSettings::server, 0xFFFFFFFF), {F::kServer, E::kFirstOctet}},
        {"standby 240.0.0.1",
         with(&AddressSettings::standby, Ip(240, 0, 0, 1)),
         {F::kStandby, E::kFirstOctet}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindUnusableSetting(c.next, present), c.expected) << c.name;
        // The device already has these settings: nothing changes, nothing can be lost.
        EXPECT_EQ(FindUnusableSetting(c.next, c.next), std::nullopt) << c.name;
    }
    EXPECT_EQ(FindUnusableSetting(present, present), std::nullopt);

    AddressSettings moved = present;  // a new address and mask together, both sound
    moved.ip = Ip(192, 168, 7, 9);
    moved.mask = Ip(255, 255, 255, 0);
    EXPECT_EQ(FindUnusableSetting(moved, present), std::nullopt);
    moved.ip = Ip(192, 168, 7, 255);
    EXPECT_EQ(FindUnusableSetting(moved, present), (UnusableSetting{F::kIp, E::kBroadcastAddress}));
}

TEST(AddressRules, DescriptionNamesTheValueInBothLanguages) {
    const AddressSettings next{Ip(10, 201, 255, 255), Ip(255, 255, 0, 0), 0, 0, 0};
    const UnusableSetting broadcast{SettingField::kIp, SettingFault::kBroadcastAddress};
    EXPECT_EQ(DescribeUnusableSetting(broadcast, next, 2),
              Texts(2).msgIpBroadcastAddress + ": 10.201.255.255/255.255.0.0");
    EXPECT_EQ(DescribeUnusableSetting(broadcast, next, 1),
              Texts(1).msgIpBroadcastAddress + "：10.201.255.255/255.255.0.0");
    EXPECT_EQ(DescribeUnusableSetting({SettingField::kServer, SettingFault::kFirstOctet}, next, 2),
              Texts(2).msgFirstOctet[2] + ": 0.0.0.0");
}

}  // namespace
}  // namespace quillane
