#include "device_config.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(DeviceConfig, TextFormsRoundTripAndRefuseJunk) {
    uint32_t address = 0;
    EXPECT_TRUE(devsim::ParseAddress("192.168.1.10", address));
    EXPECT_EQ(address, 0xC0A8010Au);
    EXPECT_EQ(devsim::FormatAddress(address), "192.168.1.10");
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.", "1.2.3.256", "a.b.c.d", "1..2.3", "1.2.3.-4", "01234.1.1.1"})
        EXPECT_FALSE(devsim::ParseAddress(bad, address)) << bad;

    std::array<uint8_t, 4> version{};
    EXPECT_TRUE(devsim::ParseVersion("2015.6.12.5", version));
    EXPECT_EQ(version, (std::array<uint8_t, 4>{5, 12, 6, 15}));
    EXPECT_EQ(devsim::FormatVersion({0, 0, 0, 0}), "2000.0.0.0");
    for (const char* bad : {"1999.1.1.1", "2256.1.1.1", "2015.6.12", "2015.256.1.1"})
        EXPECT_FALSE(devsim::ParseVersion(bad, version)) << bad;

    devsim::TftpOptions options;
    EXPECT_TRUE(devsim::ParseTftpOptions("blksize,tsize,timeout=5", options));
    EXPECT_EQ(devsim::FormatTftpOptions(options), "blksize=1024,tsize,timeout=5");
    EXPECT_TRUE(devsim::ParseTftpOptions("none", options));
    EXPECT_TRUE(options.none);
    for (const char* bad :
         {"", "blksize=7", "blksize=65465", "timeout=0", "timeout=256", "tsize=3", "windowsize=4"})
        EXPECT_FALSE(devsim::ParseTftpOptions(bad, options)) << bad;
}

TEST(DeviceConfig, FaultLists) {
    devsim::Faults faults;
    std::string error;
    ASSERT_TRUE(devsim::ApplyFaults(
        "silent,search-delay=300,stall-after=0,abort-after=7,drop=0.25,bad-checksum-silent,keep-version,"
        "ignore-change,boot-delay=13000,flash-delay=2",
        faults, error));
    EXPECT_TRUE(faults.silent);
    EXPECT_EQ(faults.searchDelayMs, 300u);
    EXPECT_EQ(faults.stallAfterBlock, 0);
    EXPECT_EQ(faults.abortAfterBlock, 7);
    EXPECT_DOUBLE_EQ(faults.dropShare, 0.25);
    EXPECT_TRUE(faults.badChecksumSilent);
    EXPECT_TRUE(faults.keepVersion);
    EXPECT_TRUE(faults.ignoreChange);
    EXPECT_EQ(faults.bootDelayMs, 13000u);
    EXPECT_EQ(faults.flashDelayMs, 2u);
    const devsim::Faults before = faults;
    for (const char* bad : {"loud", "drop=2", "drop=", "search-delay=x", "silent=1", "stall-after=-1",
                            "boot-delay", "flash-delay=10001"}) {
        EXPECT_FALSE(devsim::ApplyFaults(bad, faults, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(faults.searchDelayMs, before.searchDelayMs);  // a refused list changes nothing
}

TEST(FleetGenerator, DeterministicMixedAndUnique) {
    devsim::GeneratorSettings settings;
    settings.count = 3000;
    settings.seed = 42;
    settings.firstIp = 0x0A4D0101;
    const auto a = devsim::GenerateFleet(settings, {});
    const auto b = devsim::GenerateFleet(settings, {});
    ASSERT_EQ(a.size(), 3000u);
    std::set<int32_t> numbers;
    std::set<uint16_t> lows;
    size_t untyped = 0, large = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].number, b[i].number);
        EXPECT_EQ(a[i].ip, settings.firstIp + i);
        EXPECT_EQ(a[i].gateway, 0x0A4D0001u);
        numbers.insert(a[i].number);
        lows.insert(static_cast<uint16_t>(a[i].number));
        untyped += !a[i].typeCode;
        large += a[i].number > 65535;
    }
    EXPECT_EQ(numbers.size(), 3000u);
    EXPECT_EQ(lows.size(), 3000u);
    EXPECT_GT(untyped, 100u);
    EXPECT_GT(large, 500u);
    settings.seed = 43;
    EXPECT_NE(devsim::GenerateFleet(settings, {})[0].number, a[0].number);
}

}  // namespace
