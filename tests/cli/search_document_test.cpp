#include "search_document.h"

#include <gtest/gtest.h>

namespace quillane::cli {
namespace {

DeviceRow Row(const std::string& number, const std::string& ip, const std::string& type) {
    DeviceRow row{};
    row[kColNo] = "1";
    row[kColVersion] = "2024.3.1.8";
    row[kColIP] = ip;
    row[kColMask] = "255.255.0.0";
    row[kColGateway] = "10.77.0.254";
    row[kColServer] = "10.77.0.1";
    row[kColStandbyServer] = "0.0.0.0";
    row[kColType] = type;
    row[kColDeviceNo] = number;
    return row;
}

TEST(SearchDocument, DevicesWithTypeCodesAndFindingsWithStableKinds) {
    FleetFinding shared{FleetFinding::Kind::kSharedAddress, {100000, 7}, "10.77.1.1", 0, {}};
    EXPECT_EQ(
        FormatSearchDocument(
            {Row("100000", "10.77.1.1", "播放终端"), Row("7", "10.77.1.1", "Unknown device")}, {shared}),
        "{\"devices\": [\n"
        "  {\"device\": 100000, \"ip\": \"10.77.1.1\", \"mask\": \"255.255.0.0\", \"gateway\": "
        "\"10.77.0.254\", \"server\": \"10.77.0.1\", \"standby\": \"0.0.0.0\", \"type\": 6401, \"version\": "
        "\"2024.3.1.8\"},\n"
        "  {\"device\": 7, \"ip\": \"10.77.1.1\", \"mask\": \"255.255.0.0\", \"gateway\": \"10.77.0.254\", "
        "\"server\": \"10.77.0.1\", \"standby\": \"0.0.0.0\", \"type\": null, \"version\": \"2024.3.1.8\"}\n"
        " ],\n"
        " \"findings\": [\n"
        "  {\"kind\": \"shared-address\", \"devices\": [100000, 7], \"detail\": \"" +
            DescribeFinding(shared, 2) +
            "\"}\n"
            " ]}\n");
    EXPECT_EQ(FormatSearchDocument({}, {}), "{\"devices\": [],\n \"findings\": []}\n");
}

TEST(SearchDocument, NamesOfKindsAndTypes) {
    EXPECT_EQ(FindingKindName(FleetFinding::Kind::kSharedGroupNumber), "shared-group-number");
    EXPECT_EQ(FindingKindName(FleetFinding::Kind::kOutsideSegments), "off-segment");
    EXPECT_EQ(FindingKindName(FleetFinding::Kind::kNonHostAddress), "non-host");
    EXPECT_EQ(TypeCodeOfName("Fire linkage"), 51);
    EXPECT_EQ(TypeCodeOfName("消防联动"), 51);
    EXPECT_EQ(TypeCodeOfName("Mornitor Amplifier Card"), 6113);
    EXPECT_EQ(TypeCodeOfName("Unknown device"), -1);
    EXPECT_EQ(TypeCodeOfName(""), -1);
}

}  // namespace
}  // namespace quillane::cli
