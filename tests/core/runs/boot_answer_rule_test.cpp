#include "runs/boot_answer_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quillane;

namespace {

IPv4Address Device(int last) {
    return IPv4Address::FromOctets(10, 77, 1, static_cast<uint32_t>(last));
}
HardwareAddress Hardware(int last) {
    return {0x02, 0x51, 10, 77, 1, static_cast<uint8_t>(last)};
}

const HardwareAddress kUnknown{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};  // a loader's own, say
const HardwareAddress kShared{0x00, 0x1a, 0x2b, 0x00, 0x00, 0x01};   // a proxy-ARP router's

// Devices .1 and .2 have their own hardware addresses; .7 and .8 showed the
// same one; .5 could not be learned.
RunHardwareAddresses LearnedRun() {
    RunHardwareAddresses hardware;
    hardware.Learn(Hardware(1), Device(1));
    hardware.Learn(Hardware(2), Device(2));
    hardware.Learn(kShared, Device(7));
    hardware.Learn(kShared, Device(8));
    return hardware;
}

TEST(BootAnswerRule, AnswersEachDeviceWithItsOwnAddressAndUnknownsOnlyForTheDeviceWaited) {
    constexpr auto kOne = UpgradePace::OneAfterAnother;
    constexpr auto kSeveral = UpgradePace::SeveralAtOnce;
    struct Case {
        const char* what;
        UpgradePace pace;
        std::optional<HardwareAddress> requester;
        std::vector<DeviceInFlight> inFlight;
        int answer;  // last octet; 0 = no answer
        BootRefusal refusal;
        bool learns;
    } cases[] = {
        {"late device while the next is current",
         kOne,
         Hardware(1),
         {{Device(2), false}},
         1,
         BootRefusal::None,
         false},
        {"current device asks again", kOne, Hardware(2), {{Device(2), true}}, 2, BootRefusal::None, false},
        {"late device between devices", kOne, Hardware(1), {}, 1, BootRefusal::None, false},
        {"unknown, current not yet answered",
         kOne,
         kUnknown,
         {{Device(2), false}},
         2,
         BootRefusal::None,
         true},
        {"unknown, current answered",
         kOne,
         kUnknown,
         {{Device(2), true}},
         0,
         BootRefusal::CurrentAlreadyAnswered,
         false},
        {"unknown, no current device", kOne, kUnknown, {}, 0, BootRefusal::NoDeviceWaiting, false},
        {"no hardware address, current waiting",
         kOne,
         std::nullopt,
         {{Device(5), false}},
         5,
         BootRefusal::None,
         false},
        {"shared address counts as unknown",
         kOne,
         kShared,
         {{Device(7), true}},
         0,
         BootRefusal::CurrentAlreadyAnswered,
         false},
        {"several: device in flight",
         kSeveral,
         Hardware(1),
         {{Device(1), false}, {Device(2), false}},
         1,
         BootRefusal::None,
         false},
        {"several: timed-out device asks late",
         kSeveral,
         Hardware(1),
         {{Device(2), true}},
         1,
         BootRefusal::None,
         false},
        {"several: unknown",
         kSeveral,
         kUnknown,
         {{Device(1), false}, {Device(2), false}},
         0,
         BootRefusal::SeveralAtOnce,
         false},
        {"several: unknown, last known device alone",
         kSeveral,
         kUnknown,
         {{Device(2), false}},
         0,
         BootRefusal::SeveralAtOnce,
         false},
        {"several: unknown, device of unknown address alone",
         kSeveral,
         kUnknown,
         {{Device(5), false}},
         5,
         BootRefusal::None,
         true},
        {"several: unknown, that device answered",
         kSeveral,
         kUnknown,
         {{Device(5), true}},
         0,
         BootRefusal::CurrentAlreadyAnswered,
         false},
        {"several: shared address device alone",
         kSeveral,
         kShared,
         {{Device(8), false}},
         8,
         BootRefusal::None,
         true},
        {"several: nothing in flight", kSeveral, kUnknown, {}, 0, BootRefusal::NoDeviceWaiting, false},
    };
    const RunHardwareAddresses hardware = LearnedRun();
    for (const Case& c : cases) {
        const BootDecision decision = DecideBootAnswer(c.requester, {c.pace, hardware, c.inFlight});
        EXPECT_EQ(decision.device ? static_cast<int>(decision.device->Octet(3)) : 0, c.answer) << c.what;
        EXPECT_EQ(decision.refusal, c.refusal) << c.what;
        EXPECT_EQ(decision.learnsRequester, c.learns) << c.what;
    }
}

// The run applies each decision (marks the device answered, learns the
// requester) before the next request: two loaders of unknown hardware address
// asking within one millisecond never both get the current device's address,
// and the first one's repeated request still does.
TEST(BootAnswerRule, NobodyGetsTheCurrentAddressTwice) {
    RunHardwareAddresses hardware = LearnedRun();
    std::vector<DeviceInFlight> inFlight{{Device(5), false}};
    const HardwareAddress first = kUnknown, second{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5f};
    auto ask = [&](const HardwareAddress& requester) {
        const BootDecision decision =
            DecideBootAnswer(requester, {UpgradePace::OneAfterAnother, hardware, inFlight});
        if (decision.device) {
            for (DeviceInFlight& device : inFlight)
                if (device.address == *decision.device) device.answered = true;
            if (decision.learnsRequester) hardware.Learn(requester, *decision.device);
        }
        return decision.device ? decision.device->ToString() : std::string(BootRefusalText(decision.refusal));
    };
    EXPECT_EQ(ask(first), "10.77.1.5");
    EXPECT_EQ(ask(second), "unknown hardware address, current device already answered");
    EXPECT_EQ(ask(first), "10.77.1.5");  // its reply was lost: the repeat is answered
    inFlight = {{Device(6), false}};     // the next device's command
    EXPECT_EQ(ask(first), "10.77.1.5");  // the late loader keeps its own
    EXPECT_EQ(ask(second), "10.77.1.6");
}

TEST(RunHardwareAddresses, AHardwareAddressSharedByTwoDevicesNamesNeither) {
    RunHardwareAddresses hardware = LearnedRun();
    EXPECT_EQ(hardware.DeviceOf(Hardware(1)), Device(1));
    EXPECT_FALSE(hardware.DeviceOf(kShared));
    hardware.Learn(kShared, Device(7));  // seen again for one of them: still ambiguous
    EXPECT_FALSE(hardware.DeviceOf(kShared));
    EXPECT_TRUE(hardware.Knows(Device(2)));
    EXPECT_FALSE(hardware.Knows(Device(7)));
    EXPECT_FALSE(hardware.Knows(Device(5)));
    hardware.Learn({0, 0, 0, 0, 0, 0}, Device(5));
    hardware.Learn({0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, Device(5));
    EXPECT_FALSE(hardware.Knows(Device(5)));
    hardware.Learn(kUnknown, Device(2));  // a loader's own besides the card's: both name it
    EXPECT_EQ(hardware.DeviceOf(kUnknown), Device(2));
    EXPECT_EQ(hardware.DeviceOf(Hardware(2)), Device(2));
    hardware.Clear();
    EXPECT_FALSE(hardware.DeviceOf(Hardware(1)));
}

TEST(BootAnswerRule, ReadsTheRequestersHardwareAddressOnlyFromAnEthernetRequest) {
    std::vector<uint8_t> request(300, 0);
    request[0] = 1;
    request[1] = 1;
    request[2] = 6;
    const HardwareAddress own = Hardware(9);
    std::copy(own.begin(), own.end(), request.begin() + 28);
    EXPECT_EQ(BootRequestHardwareAddress(request.data(), request.size()), own);
    EXPECT_EQ(BootRequestHardwareAddress(request.data(), 34), own);
    EXPECT_FALSE(BootRequestHardwareAddress(request.data(), 33));
    EXPECT_FALSE(BootRequestHardwareAddress(nullptr, 300));
    auto changed = [&](size_t offset, uint8_t value) {
        std::vector<uint8_t> copy = request;
        copy[offset] = value;
        return BootRequestHardwareAddress(copy.data(), copy.size());
    };
    EXPECT_FALSE(changed(1, 6));      // IEEE 802 network
    EXPECT_FALSE(changed(2, 16));     // another length
    EXPECT_FALSE(changed(28, 0x03));  // a group address
    std::fill(request.begin() + 28, request.begin() + 34, 0);
    EXPECT_FALSE(BootRequestHardwareAddress(request.data(), request.size()));
}

}  // namespace
