#include "runs/upgrade_slots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quillane;

namespace {

constexpr uint32_t kSilence = 10000;

IPv4Address Device(int last) {
    return IPv4Address::FromOctets(10, 77, 1, static_cast<uint32_t>(last));
}
HardwareAddress Hardware(int last) {
    return {0x02, 0x51, 10, 77, 1, static_cast<uint8_t>(last)};
}
const HardwareAddress kStranger{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};

// Devices 10.77.1.1 .. 10.77.1.count, indexes 0 .. count - 1.
std::vector<IPv4Address> Devices(int count) {
    std::vector<IPv4Address> devices;
    for (int i = 1; i <= count; ++i) devices.push_back(Device(i));
    return devices;
}

// One letter per device: w(aiting) f(light) s(ucceeded) F(ailed) n(ot started).
std::string States(const UpgradeSlots& slots) {
    std::string text;
    for (size_t i = 0; i < slots.Count(); ++i) text += "wfsFn"[static_cast<int>(slots.State(i))];
    return text;
}

// Starts what the slots allow, learning each started device's own card
// before the next may start, as the run does after each command.
std::vector<size_t> StartAndLearn(UpgradeSlots& slots, uint32_t now) {
    std::vector<size_t> all;
    for (auto started = slots.StartDevices(now); !started.empty(); started = slots.StartDevices(now))
        for (size_t device : started) {
            slots.HardwareAddressLearned(device, Hardware(static_cast<int>(device) + 1));
            all.push_back(device);
        }
    return all;
}

TEST(UpgradeSlots, SlotsAreFreedBySuccessFailureAndTimeOut) {
    UpgradeSlots slots(Devices(5), {2, 0});
    EXPECT_EQ(StartAndLearn(slots, 1000), (std::vector<size_t>{0, 1}));
    EXPECT_EQ(States(slots), "ffwww");
    slots.TransferFinished(Device(1), true);
    EXPECT_EQ(StartAndLearn(slots, 2000), (std::vector<size_t>{2}));
    slots.TransferFinished(Device(2), false);
    EXPECT_EQ(StartAndLearn(slots, 3000), (std::vector<size_t>{3}));
    EXPECT_EQ(States(slots), "sFffw");
    // Each device's silence counts from its own command and its own transfer.
    slots.TransferProgress(Device(4), 0.5, 12000);
    EXPECT_TRUE(slots.ExpireSilent(12000, kSilence).empty());
    EXPECT_EQ(slots.ExpireSilent(12001, kSilence), (std::vector<size_t>{2}));
    EXPECT_EQ(slots.MsUntilNextTimeOut(12001, kSilence), 10000u);  // device 4, heard at 12000
    EXPECT_EQ(StartAndLearn(slots, 12001), (std::vector<size_t>{4}));
    slots.TransferFinished(Device(4), true);
    slots.TransferFinished(Device(5), true);
    EXPECT_TRUE(slots.Ended());
    EXPECT_EQ(States(slots), "sFFss");
    EXPECT_EQ(slots.Failures(), 2);
}

TEST(UpgradeSlots, StopStartsNoNewDeviceAndLetsThoseInFlightEnd) {
    UpgradeSlots slots(Devices(5), {3, 0});
    StartAndLearn(slots, 0);
    slots.Stop();
    slots.TransferFinished(Device(1), true);
    EXPECT_TRUE(StartAndLearn(slots, 100).empty());
    EXPECT_FALSE(slots.Ended());
    slots.TransferFinished(Device(2), true);
    slots.ExpireSilent(20000, kSilence);
    EXPECT_TRUE(slots.Ended());
    EXPECT_EQ(States(slots), "ssFnn");
}

TEST(UpgradeSlots, NoNewDeviceOnceTheFailureLimitIsReached) {
    UpgradeSlots slots(Devices(6), {2, 2});
    StartAndLearn(slots, 0);
    slots.TransferFinished(Device(1), false);  // one failure: the slot is taken again
    EXPECT_EQ(StartAndLearn(slots, 10), (std::vector<size_t>{2}));
    slots.TransferFinished(Device(3), false);  // the second: no more
    EXPECT_TRUE(StartAndLearn(slots, 20).empty());
    slots.TransferFinished(Device(2), true);
    EXPECT_TRUE(slots.Ended());
    EXPECT_EQ(States(slots), "FsFnnn");
}

// One after another: device 1 times out, device 2 is current; device 1's
// loader asks late and gets its own address, its transfer ends its row well;
// requests from strangers get device 2's address once, then nothing.
TEST(UpgradeSlots, ALateDeviceGetsItsOwnAddressAndItsResult) {
    UpgradeSlots slots(Devices(3), {1, 0});
    StartAndLearn(slots, 0);
    slots.ExpireSilent(10001, kSilence);
    EXPECT_EQ(StartAndLearn(slots, 10001), (std::vector<size_t>{1}));
    EXPECT_EQ(slots.AnswerBootRequest(Hardware(1)).device, Device(1));
    slots.TransferProgress(Device(1), 0.5, 13000);
    EXPECT_EQ(States(slots), "Ffw");  // the late transfer renews nobody's silence
    EXPECT_EQ(slots.ExpireSilent(20002, kSilence), (std::vector<size_t>{1}));
    slots.TransferFinished(Device(1), true);
    EXPECT_EQ(States(slots), "sFw");
    EXPECT_EQ(slots.Failures(), 1);

    EXPECT_EQ(StartAndLearn(slots, 20002), (std::vector<size_t>{2}));
    EXPECT_EQ(slots.AnswerBootRequest(kStranger).device, Device(3));  // its loader's own card, maybe
    const HardwareAddress other{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5f};
    EXPECT_FALSE(slots.AnswerBootRequest(other).device);  // within the same millisecond: no second answer
    EXPECT_EQ(slots.AnswerBootRequest(kStranger).device, Device(3));  // the first one's repeat
    EXPECT_EQ(slots.UnansweredBootRequests(), 1u);
}

TEST(UpgradeSlots, SeveralAtOnceAnswerNoStranger) {
    UpgradeSlots slots(Devices(4), {4, 0});
    StartAndLearn(slots, 0);
    EXPECT_FALSE(slots.AnswerBootRequest(kStranger).device);
    EXPECT_FALSE(slots.AnswerBootRequest(std::nullopt).device);
    EXPECT_EQ(slots.AnswerBootRequest(Hardware(3)).device, Device(3));
    EXPECT_EQ(slots.UnansweredBootRequests(), 2u);
}

// Device 2's card could not be learned: no device joins while it is in
// flight, and strangers are answered for it once it is alone; the first
// answered one names it from then on.
TEST(UpgradeSlots, ADeviceOfUnknownHardwareAddressIsUpgradedAlone) {
    UpgradeSlots slots(Devices(4), {4, 0});
    EXPECT_EQ(slots.StartDevices(0), (std::vector<size_t>{0}));
    EXPECT_TRUE(slots.StartDevices(0).empty());  // not before device 1's card is learned
    slots.HardwareAddressLearned(0, Hardware(1));
    EXPECT_EQ(slots.StartDevices(0), (std::vector<size_t>{1}));
    slots.HardwareAddressLearned(1, std::nullopt);
    EXPECT_TRUE(slots.StartDevices(0).empty());
    EXPECT_FALSE(slots.AnswerBootRequest(kStranger).device);  // two in flight
    slots.TransferFinished(Device(1), true);
    EXPECT_TRUE(slots.StartDevices(0).empty());
    EXPECT_EQ(slots.AnswerBootRequest(kStranger).device, Device(2));
    // The answered request taught the run device 2's loader's card: others may join now.
    EXPECT_EQ(StartAndLearn(slots, 0), (std::vector<size_t>{2, 3}));
    EXPECT_EQ(slots.AnswerBootRequest(kStranger).device, Device(2));
}

TEST(UpgradeSlots, TheBarShowsDevicesDoneAndTheSharesOfThoseInFlight) {
    UpgradeSlots slots(Devices(4), {3, 0});
    StartAndLearn(slots, 0);
    slots.TransferFinished(Device(1), false);
    slots.TransferProgress(Device(2), 0.5, 10);
    slots.TransferProgress(Device(3), 0.25, 10);
    EXPECT_DOUBLE_EQ(slots.RunFraction(), (1 + 0.5 + 0.25) / 4);
}

TEST(UpgradeSlots, SilenceIsCountedAcrossTheTickCountersWrap) {
    UpgradeSlots slots(Devices(2), {2, 0});
    StartAndLearn(slots, 0xFFFFF000u);
    slots.TransferProgress(Device(2), 0.1, 0xFFFFFF00u);
    const uint32_t firstDue = 0xFFFFF000u + kSilence + 1;  // wrapped: 0x00001711
    EXPECT_EQ(slots.MsUntilNextTimeOut(0xFFFFFF00u, kSilence), firstDue - 0xFFFFFF00u);
    EXPECT_TRUE(slots.ExpireSilent(firstDue - 1, kSilence).empty());
    EXPECT_EQ(slots.ExpireSilent(firstDue, kSilence), (std::vector<size_t>{0}));
    // A stamp ahead of the clock is taken as now, not as a silence of ~49 days.
    UpgradeSlots ahead(Devices(1), {1, 0});
    StartAndLearn(ahead, 5000);
    EXPECT_TRUE(ahead.ExpireSilent(4000, kSilence).empty());
    EXPECT_TRUE(ahead.ExpireSilent(14000, kSilence).empty());
    EXPECT_EQ(ahead.ExpireSilent(14001, kSilence), (std::vector<size_t>{0}));
}

}  // namespace
