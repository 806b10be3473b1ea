#include "runs/address_change_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runs/address_change_batch.h"

using namespace quillane;

namespace {

IPv4Address A(const char* dotted) {
    return IPv4Address::Parse(dotted);
}

// Runs the running address over devices as a batch does and tells what each
// got: its new address, "range error" (the batch ends there) or "nothing".
std::vector<std::string> NewAddresses(int editType, bool changeIp, const char* entered,
                                      const std::vector<const char*>& present) {
    RunningAddress running(editType, changeIp, A(entered));
    std::vector<std::string> got;
    for (const char* device : present) {
        const RunningAddress::NewAddress next = running.For(A(device));
        if (next.outcome == RunningAddress::Outcome::kRangeError) {
            got.push_back("range error");
            break;
        }
        if (next.outcome == RunningAddress::Outcome::kUnknownEditType) {
            got.push_back("nothing");
            continue;
        }
        got.push_back(next.address.ToString());
        if (!running.Advance()) {
            got.push_back("range error");
            break;
        }
    }
    return got;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(RunningAddress, AutomaticIncreaseCountsThroughBlocksOf249) {
    struct Case {
        const char* entered;
        std::vector<const char*> devices;
        Texts expected;
    };
    const std::vector<const char*> four(4, "10.9.9.9");
    const Case cases[] = {
        {"192.168.1.248", four, {"192.168.1.248", "192.168.1.249", "192.168.2.1", "192.168.2.2"}},
        {"192.168.1.252", {"1.1.1.1", "1.1.1.2"}, {"192.168.2.1", "192.168.2.2"}},
        {"192.168.254.249", {"1.1.1.1", "1.1.1.2"}, {"192.168.254.249", "192.169.1.1"}},
        {"192.168.255.250", {"1.1.1.1"}, {"192.169.1.1"}},
        // An entered address at a block's end moves on first, still into a third octet of 255.
        {"192.168.254.250", {"1.1.1.1", "1.1.1.2"}, {"192.168.255.1", "192.168.255.2"}},
        {"10.255.254.249", {"1.1.1.1", "1.1.1.2"}, {"10.255.254.249", "11.1.1.1"}},
        // The last address is sent before the range error, even for the last device.
        {"223.255.254.249", {"1.1.1.1"}, {"223.255.254.249", "range error"}},
        {"223.255.254.249", four, {"223.255.254.249", "range error"}},
        // No address left at all: the error comes before anything is sent.
        {"223.255.255.250", four, {"range error"}},
        {"222.255.255.250", {"1.1.1.1"}, {"223.1.1.1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entered);
        EXPECT_EQ(NewAddresses(kEditIncrease, true, c.entered, c.devices), c.expected);
    }
}

TEST(RunningAddress, KeptOctetsComeFromEachDevice) {
    EXPECT_EQ(NewAddresses(kEditKeepLastOctet, true, "10.0.0.0", {"192.168.1.37", "172.16.5.9"}),
              (Texts{"10.0.0.37", "10.0.0.9"}));
    EXPECT_EQ(NewAddresses(kEditKeepLastTwoOctets, true, "10.0.0.0", {"192.168.1.37"}), (Texts{"10.0.1.37"}));
    EXPECT_EQ(NewAddresses(kEditKeepLastThreeOctets, true, "10.0.0.0", {"192.168.1.37"}),
              (Texts{"10.168.1.37"}));
    EXPECT_EQ(NewAddresses(7, true, "10.0.0.0", {"192.168.1.37", "192.168.1.38"}),
              (Texts{"nothing", "nothing"}));
    EXPECT_EQ(NewAddresses(-1, false, "10.0.0.0", {"192.168.1.37"}), (Texts{"nothing"}));
}

// Without an IP change each device starts from its own address.
TEST(RunningAddress, WithoutAnIpChangeOnlyTheLastSixAddressesOfABlockMove) {
    const std::vector<const char*> devices = {"192.168.1.37",  "192.168.1.249",   "192.168.1.250",
                                              "192.168.1.255", "192.168.255.251", "192.168.1.38"};
    EXPECT_EQ(NewAddresses(kEditIncrease, false, "10.0.0.1", devices),
              (Texts{"192.168.1.37", "192.168.1.249", "192.168.2.1", "192.168.2.1", "192.169.1.1",
                     "192.168.1.38"}));
    for (int type : {kEditKeepLastOctet, kEditKeepLastTwoOctets, kEditKeepLastThreeOctets}) {
        EXPECT_EQ(NewAddresses(type, false, "10.0.0.1", {"192.168.1.250", "172.16.0.9"}),
                  (Texts{"192.168.1.250", "172.16.0.9"}));
    }
    // A device that keeps its address never raises the range error.
    EXPECT_EQ(NewAddresses(kEditIncrease, false, "0.0.0.0", {"223.255.254.249", "10.0.0.5"}),
              (Texts{"223.255.254.249", "10.0.0.5"}));
}

namespace {

uint32_t Field(const Datagram& d, size_t offset) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= uint32_t{d.at(offset + i)} << (8 * i);
    return v;
}

DeviceRow Row(const char* ip, const char* mask, int32_t number, const char* gateway = "192.168.1.1",
              const char* server = "192.168.1.250", const char* standby = "192.168.1.251") {
    DeviceRow row;
    row[kColChoice] = kCheckMark;
    row[kColIP] = ip;
    row[kColMask] = mask;
    row[kColGateway] = gateway;
    row[kColServer] = server;
    row[kColStandbyServer] = standby;
    row[kColDeviceNo] = std::to_string(number);
    return row;
}

const IPv4Address kGroup = IPv4Address::FromOctets(224, 0, 2, 0);

AddressChangeSettings ChangeOnlyIp(const char* ip) {
    AddressChangeSettings s;
    s.given.ip = A(ip);
    return s;
}

}  // namespace

// The workstation's segments decide the form; the form is read from the bytes.
TEST(AddressChangePlanner, DeviceInALocalSegmentGetsTheDirectFormOthersTheGroupForm) {
    struct Case {
        std::vector<std::string> localIps, localMasks;
        bool direct;
    };
    const Case cases[] = {
        {{"192.168.2.5"},
         {"255.255.0.0"},
         false},  // the device's longer mask: 192.168.2.0 against 192.168.1.0
        {{"192.168.1.200"}, {"255.255.0.0"}, true},
        {{"10.0.0.1", "192.168.1.200"}, {"255.0.0.0", "255.255.255.0"}, true},
        {{}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.localIps.empty() ? "no local address" : c.localIps.back());
        AddressChangePlanner planner(ChangeOnlyIp("192.168.1.60"), c.localIps, c.localMasks, kGroup, {});
        const RowPlan plan = planner.PlanRow(Row("192.168.1.37", "255.255.255.0", 70001));
        ASSERT_EQ(plan.action, RowPlan::Action::kSend);
        if (c.direct) {
            EXPECT_EQ(plan.destination, A("192.168.1.37"));
            ASSERT_EQ(plan.command.size(), 40u);
            EXPECT_EQ(plan.command[4], 0xF0);
        } else {
            EXPECT_EQ(plan.destination, kGroup);
            ASSERT_EQ(plan.command.size(), 48u);
            EXPECT_EQ(plan.command[4], 0xF4);
            EXPECT_EQ(plan.command[40] | plan.command[41] << 8, 70001 - 65536) << "low 16 bits of the number";
        }
        EXPECT_EQ(Field(plan.command, 12), 0xC0A80125u) << "present address";
        EXPECT_EQ(Field(plan.command, 24), 0xC0A8013Cu) << "new address";
    }
}

TEST(AddressChangePlanner, EachSettingComesFromTheDialogOnlyWhenItsBoxIsTicked) {
    IpSettingsValues entered;
    entered.editType = kEditKeepLastOctet;
    entered.ip = A("10.1.2.0").Number();
    entered.mask = A("255.255.0.0").Number();
    entered.gateway = A("10.1.0.254").Number();
    entered.server = A("10.1.0.9").Number();
    entered.backupServer = A("10.1.0.10").Number();
    entered.gatewayCheck = entered.backupServerCheck = 0;
    const AddressChangeSettings s = SettingsFromDialog(entered);
    AddressChangePlanner planner(s, {"192.168.1.1"}, {"255.255.255.0"}, kGroup, {});
    const RowPlan plan = planner.PlanRow(
        Row("192.168.1.37", "255.255.255.0", 5, "192.168.1.1", "192.168.1.250", "192.168.1.251"));
    ASSERT_EQ(plan.command.size(), 40u);
    EXPECT_EQ(Field(plan.command, 0), 40u);
    EXPECT_EQ(Field(plan.command, 8), 0u);
    EXPECT_EQ(Field(plan.command, 12), 0xC0A80125u);  // present 192.168.1.37
    EXPECT_EQ(Field(plan.command, 16), 0x0A010009u);  // server: entered
    EXPECT_EQ(Field(plan.command, 20), 0xC0A801FBu);  // standby: the row's
    EXPECT_EQ(Field(plan.command, 24), 0x0A010225u);  // 10.1.2 with the device's .37
    EXPECT_EQ(Field(plan.command, 28), 0xC0A80101u);  // gateway: the row's
    EXPECT_EQ(Field(plan.command, 32), 0xFFFF0000u);  // mask: entered
    EXPECT_EQ(Field(plan.command, 36),
              0xC0A80125u + 0x0A010009u + 0xC0A801FBu + 0x0A010225u + 0xC0A80101u + 0xFFFF0000u);
}

// A direct command to a subnet's broadcast address would reach every device
// there; the row gets nothing. The group form is still fine for a device whose
// address is unusable (it is found by its number).
TEST(AddressChangePlanner, NoDirectCommandToAnAddressOfManyDevices) {
    struct Case {
        const char* ip;
        const char* mask;
        bool refused;
    };
    const Case cases[] = {
        {"10.77.255.255", "255.255.0.0", true},
        {"10.77.0.255", "255.255.255.0", true},   // its own subnet's broadcast
        {"10.77.255.255", "255.0.0.0", true},     // the broadcast of the workstation's segment
        {"10.77.1.255", "255.255.0.0", false},    // an ordinary host of a /16
        {"10.77.1.255", "255.255.255.0", false},  // another /24: not local, the group form
        {"10.77.0.0", "255.255.0.0", false},
        {"0.0.0.0", "0.0.0.0", false},  // not local: the group form
        {"255.255.255.255", "255.255.255.255", false},
        {"224.0.2.0", "255.255.255.0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ip) + "/" + c.mask);
        AddressChangePlanner planner(ChangeOnlyIp("10.77.9.1"), {"10.77.0.1"}, {"255.255.0.0"}, kGroup, {});
        const RowPlan plan = planner.PlanRow(Row(c.ip, c.mask, 7));
        EXPECT_EQ(plan.action, c.refused ? RowPlan::Action::kRefuse : RowPlan::Action::kSend);
        if (!c.refused) {
            EXPECT_EQ(plan.destination == kGroup, plan.command.size() == 48u);
        }
    }
    // When the segments make such addresses local, they are refused as well.
    for (const char* ip : {"0.0.0.0", "255.255.255.255", "224.0.2.7"}) {
        SCOPED_TRACE(ip);
        AddressChangePlanner planner(ChangeOnlyIp("10.77.9.1"), {"10.77.0.1"}, {"0.0.0.0"}, kGroup, {});
        EXPECT_EQ(planner.PlanRow(Row(ip, "0.0.0.0", 7)).action, RowPlan::Action::kRefuse);
    }
}

TEST(AddressChangePlanner, GroupFormIsRefusedWhenAnotherListedDeviceSharesTheLow16Bits) {
    // 70001 and 4465 share their low 16 bits; 9 is alone.
    const GroupNumberCounts groups = CountGroupNumbers({"70001", "4465", "9", "", "192.168.1.2"});
    AddressChangePlanner planner(ChangeOnlyIp("192.168.9.1"), {"192.168.1.1"}, {"255.255.255.0"}, kGroup,
                                 groups);
    EXPECT_EQ(planner.PlanRow(Row("172.16.0.5", "255.255.0.0", 70001)).action, RowPlan::Action::kRefuse);
    // The refused device took no address: the next one gets it.
    const RowPlan alone = planner.PlanRow(Row("172.16.0.6", "255.255.0.0", 9));
    ASSERT_EQ(alone.action, RowPlan::Action::kSend);
    EXPECT_EQ(Field(alone.command, 24), 0xC0A80901u);
    ASSERT_TRUE(planner.CommandSent());
    // In a local segment the direct form reaches only that device.
    const RowPlan local = planner.PlanRow(Row("192.168.1.7", "255.255.255.0", 4465));
    ASSERT_EQ(local.action, RowPlan::Action::kSend);
    EXPECT_EQ(local.command.size(), 40u);
    EXPECT_EQ(Field(local.command, 24), 0xC0A80902u);
}

TEST(AddressChangePlanner, UnreadableCellsAreTakenAsInetAddrReadsThem) {
    AddressChangePlanner planner(ChangeOnlyIp("10.0.0.1"), {"10.0.0.2"}, {"255.0.0.0"}, kGroup, {});
    const RowPlan plan = planner.PlanRow(Row("", "", 3, "bad", "", "1.2.3"));
    ASSERT_EQ(plan.action, RowPlan::Action::kSend);
    ASSERT_EQ(plan.command.size(), 48u) << "255.255.255.255 lies in no segment";
    EXPECT_EQ(Field(plan.command, 12), 0xFFFFFFFFu);
    EXPECT_EQ(Field(plan.command, 28), 0xFFFFFFFFu);
    EXPECT_EQ(Field(plan.command, 20), 0x01020003u);
}

// Whatever its source (the dialog, arguments, a plan), a new setting that would
// lose the device is refused with its reason, and the batch does not hand the
// refused address to the next device.
TEST(AddressChangeBatch, ANewSettingThatWouldLoseTheDeviceIsRefusedWhateverItsSource) {
    const LocalAddressLists local{{"192.168.1.1"}, {"255.255.255.0"}};
    const std::vector<DeviceRow> table = {Row("192.168.1.10", "255.255.255.128", 1),
                                          Row("192.168.1.11", "255.255.255.128", 2),
                                          Row("192.168.1.12", "255.255.255.128", 3)};
    // Automatic increase from .126 under the devices' own /25: .127 is its broadcast address.
    const AddressChangeBatch increase =
        PlanAddressChangeBatch(table, ChangeOnlyIp("192.168.1.126"), nullptr, local, kGroup);
    ASSERT_EQ(increase.rows.size(), 3u);
    EXPECT_EQ(increase.rows[0].plan.action, RowPlan::Action::kSend);
    EXPECT_EQ(increase.rows[1].plan.refusal, FailureReason::kUnusableSetting);
    EXPECT_EQ(increase.rows[1].plan.unusable.fault, SettingFault::kBroadcastAddress);
    EXPECT_EQ(DescribeRefusal(increase.rows[1], 2),
              "The IP address cannot be the broadcast address of its subnet: 192.168.1.127/255.255.255.128");
    EXPECT_EQ(increase.rows[2].plan.refusal, FailureReason::kUnusableSetting)
        << ".128: the next /25's network";
    EXPECT_EQ(IPv4Address(increase.rows[2].plan.values.newIp).ToString(), "192.168.1.128");

    // A plan: a split mask for device 2; device 3 keeps the gateway it already has, "0.0.0.0".
    DeviceSettingsPlan plan;
    plan[1].ip = A("192.168.1.20");
    plan[2].mask = A("255.0.255.0");
    plan[3].gateway = A("0.0.0.0");
    std::vector<DeviceRow> withNoGateway = table;
    withNoGateway[2][kColGateway] = "0.0.0.0";
    const AddressChangeBatch planned = PlanAddressChangeBatch(withNoGateway, {}, &plan, local, kGroup);
    ASSERT_EQ(planned.rows.size(), 3u);
    EXPECT_EQ(planned.rows[0].plan.action, RowPlan::Action::kSend);
    EXPECT_EQ(planned.rows[1].plan.unusable,
              (UnusableSetting{SettingField::kMask, SettingFault::kSplitMask}));
    EXPECT_EQ(planned.rows[2].plan.action, RowPlan::Action::kSend);
}
