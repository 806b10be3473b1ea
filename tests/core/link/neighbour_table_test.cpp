#include "link/neighbour_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/tick_clock.h"

using namespace quillane;

namespace {

const char kArpTable[] =
    "IP address       HW type     Flags       HW address            Mask     Device\n"
    "10.77.1.50       0x1         0x2         02:51:0a:4d:01:32     *        lab-ws\n"
    "10.77.1.5        0x1         0x0         00:00:00:00:00:00     *        lab-ws\n"
    "10.77.1.5        0x1         0x2         02:51:0a:4d:01:05     *        lab-b\n"
    "10.77.1.6        0x1         0x2         ff:ff:ff:ff:ff:ff     *        lab-ws\n"
    "10.77.1.7        0x1         0x2         01:00:5e:00:02:00     *        lab-ws\n"
    "10.77.1.8        0x1         0x2         02:51:0a:4d:1:08      *        lab-ws\n"
    "10.77.1.9        0x1         0x6         02:51:0A:4D:01:09     *        lab-ws\n"
    "10.77.1.10       0x1\n"
    "10.77.1.11       0x1         0x0         02:51:0a:4d:01:0b     *        lab-ws\n";

TEST(NeighbourTable, ReadsOnlyCompleteEntriesThatNameADevice) {
    struct Case {
        const char* address;
        const char* want;  // "" = none
    } cases[] = {
        {"10.77.1.50", "02:51:0a:4d:01:32"},
        {"10.77.1.5", "02:51:0a:4d:01:05"},  // the incomplete line on another card is passed over
        {"10.77.1.6", ""},                   // broadcast
        {"10.77.1.7", ""},                   // multicast
        {"10.77.1.8", ""},                   // malformed
        {"10.77.1.9", "02:51:0a:4d:01:09"},  // permanent and complete; upper-case digits
        {"10.77.1.10", ""},                  // a cut line
        {"10.77.1.11", ""},                  // not complete (still resolving, or failed)
        {"10.77.1.1", ""},                   // no line at all
    };
    for (const Case& c : cases) {
        const auto found = FindInProcNetArp(kArpTable, IPv4Address::Parse(c.address));
        EXPECT_EQ(found ? HardwareAddressText(*found) : "", c.want) << c.address;
    }
    EXPECT_FALSE(FindInProcNetArp("", IPv4Address::Parse("10.77.1.50")));
    // Without its title line the first entry is taken for the titles, as the kernel always writes them.
    EXPECT_FALSE(
        FindInProcNetArp("10.77.1.50 0x1 0x2 02:51:0a:4d:01:32 * x\n", IPv4Address::Parse("10.77.1.50")));
}

TEST(NeighbourTable, AnAddressNobodyWasSentToHasNoEntry) {
    // 192.0.2.0/24 is for documentation: never on a real segment.
    EXPECT_FALSE(ReadNeighbourEntry(IPv4Address::Parse("192.0.2.77")));
}

// The wait after a command: how many reads, how long, under the manual clock.
class LearnHardwareAddressTest : public ::testing::Test {
protected:
    ~LearnHardwareAddressTest() override { TickClock::UseReal(); }

    // A table whose entry appears at the given read (0 = never).
    NeighbourReader AppearsAtRead(int read) {
        return [this, read](IPv4Address) -> std::optional<HardwareAddress> {
            readsAt.push_back(TickClock::Now());
            if (read > 0 && static_cast<int>(readsAt.size()) >= read)
                return HardwareAddress{2, 0x51, 10, 77, 1, 5};
            return std::nullopt;
        };
    }
    std::vector<uint32_t> readsAt;
};

TEST_F(LearnHardwareAddressTest, PollsUntilTheEntryAppearsOrTheWaitIsOver) {
    struct Case {
        uint32_t start;
        int appearsAt;
        uint32_t waitMs, pollMs;
        bool found;
        std::vector<uint32_t> readOffsets;
    } cases[] = {
        {1000, 1, 300, 50, true, {0}},
        {1000, 3, 300, 50, true, {0, 50, 100}},
        {1000, 0, 300, 50, false, {0, 50, 100, 150, 200, 250, 300}},
        {1000, 0, 120, 50, false, {0, 50, 100, 120}},  // the last pause is cut to the wait
        {0xFFFFFFC0u, 0, 300, 50, false, {0, 50, 100, 150, 200, 250, 300}},  // across the wrap
        {1000, 0, 0, 50, false, {0}},
    };
    for (const Case& c : cases) {
        TickClock::UseManual(c.start);
        readsAt.clear();
        const auto found = LearnHardwareAddress(IPv4Address::Parse("10.77.1.5"), AppearsAtRead(c.appearsAt),
                                                c.waitMs, c.pollMs);
        EXPECT_EQ(found.has_value(), c.found) << c.appearsAt << " " << c.waitMs;
        std::vector<uint32_t> offsets;
        for (uint32_t at : readsAt) offsets.push_back(at - c.start);
        EXPECT_EQ(offsets, c.readOffsets) << c.appearsAt << " " << c.waitMs;
    }
}

TEST(HardwareAddress, NamesNoDeviceForZeroAndGroupAddresses) {
    EXPECT_TRUE(NamesNoDevice({0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(NamesNoDevice({0xff, 0xff, 0xff, 0xff, 0xff, 0xff}));
    EXPECT_TRUE(NamesNoDevice({0x01, 0x00, 0x5e, 0, 2, 0}));
    EXPECT_FALSE(NamesNoDevice({0x02, 0x51, 10, 77, 1, 5}));
    EXPECT_FALSE(NamesNoDevice({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
}

}  // namespace
