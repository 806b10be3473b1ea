#include "runs/fleet_check.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

DeviceRow Row(int32_t number, const char* ip, const char* mask = "255.255.255.0") {
    DeviceRow row{};
    row[kColDeviceNo] = std::to_string(number);
    row[kColIP] = ip;
    row[kColMask] = mask;
    return row;
}

// Kind, devices and address of each finding, as one line.
std::vector<std::string> Lines(const std::vector<FleetFinding>& findings) {
    std::vector<std::string> lines;
    for (const FleetFinding& f : findings) lines.push_back(DescribeFinding(f, 2));
    return lines;
}

const LocalAddressLists kLocal{{"10.0.0.1"}, {"255.255.255.0"}};

TEST(FleetCheck, ACleanFleetHasNoFindings) {
    EXPECT_TRUE(CheckFleet({Row(1, "10.0.0.5"), Row(2, "10.0.0.6"), Row(3, "10.0.0.7")}, kLocal).empty());
    EXPECT_TRUE(CheckFleet({}, kLocal).empty());
}

TEST(FleetCheck, PointsOutEveryKindOfTroubleInOrder) {
    const std::vector<DeviceRow> rows = {
        Row(1, "10.0.0.5"),    Row(65537, "10.0.0.6"),  // low 16 bits 1, as device 1
        Row(3, "10.0.0.5"),                             // shares 10.0.0.5 with device 1
        Row(4, "192.168.9.4"),                          // no local segment
        Row(5, "10.0.0.255"),                           // broadcast of its /24
        Row(6, "10.0.0.0"),                             // network address
        Row(7, "224.0.2.9"),                            // multicast, and outside the segment
    };
    EXPECT_EQ(Lines(CheckFleet(rows, kLocal)),
              (std::vector<std::string>{
                  "Devices 1, 3 share the IP address 10.0.0.5",
                  "Devices 1, 65537 share the low 16 bits of their number (1)",
                  "Device 4 (192.168.9.4) is outside every local segment",
                  "Device 7 (224.0.2.9) is outside every local segment",
                  "Device 5 has a broadcast address: 10.0.0.255",
                  "Device 6 has a network address: 10.0.0.0",
                  "Device 7 has a multicast address: 224.0.2.9",
              }));
}

TEST(FleetCheck, FindingsReadInBothLanguages) {
    const auto findings = CheckFleet({Row(1, "10.0.0.5"), Row(3, "10.0.0.5")}, kLocal);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(DescribeFinding(findings[0], 1), "设备 1, 3 使用同一IP地址 10.0.0.5");
    EXPECT_EQ(DescribeFinding(findings[0], 0), "");
}

}  // namespace
}  // namespace quillane
