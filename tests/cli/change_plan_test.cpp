#include "change_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/texts.h"

namespace quillane::cli {
namespace {

const char* const kColumns[] = {"ip", "mask", "gateway", "server", "standby"};
const int kTableColumns[] = {kColIP, kColMask, kColGateway, kColServer, kColStandbyServer};

DeviceRow Device(int32_t number, const std::vector<std::string>& settings) {
    DeviceRow row;
    row[kColDeviceNo] = std::to_string(number);
    for (size_t s = 0; s < settings.size(); ++s) row[static_cast<size_t>(kTableColumns[s])] = settings[s];
    return row;
}

// A plan read, matched to the rows found and worked out as a batch, as
// quillane-cli change does before anything is sent: the plan's fault, if any.
std::optional<PlanError> FaultOf(const std::string& content, std::vector<DeviceRow> rows) {
    const PlanReading reading = ReadAddressPlan(content);
    EXPECT_TRUE(reading.plan) << reading.error.message;
    if (!reading.plan) return std::nullopt;
    const MatchedPlan matched = MatchPlan(*reading.plan, rows);
    for (DeviceRow& row : rows)
        if (matched.settings->count(ReadDecimal(row[kColDeviceNo]))) row[kColChoice] = kCheckMark;
    const LocalAddressLists local{{"10.201.0.100"}, {"255.255.0.0"}};
    const AddressChangeBatch batch = PlanAddressChangeBatch(rows, {}, matched.settings.get(), local,
                                                            IPv4Address::FromOctets(224, 0, 2, 0));
    return PlanConflict(*reading.plan, batch);
}

// Each unusable setting in each column: as a new value the plan is faulty,
// with its line and column; as the value the device has already (an exported
// inventory's unchanged cell) it is no fault, and the row's other change goes ahead.
TEST(ChangePlan, AnUnusableNewSettingIsAFaultOfThePlanAnUnchangedOneIsNot) {
    const std::vector<std::string> present = {"10.201.3.4", "255.255.0.0", "10.201.0.1", "10.201.0.2",
                                              "10.201.0.3"};
    const struct {
        int column;
        const char* value;
        std::string message;  // the fault's text (English)
    } cases[] = {
        {0, "224.0.0.1", Texts(2).msgFirstOctet[0]},
        {0, "10.201.255.255", Texts(2).msgIpBroadcastAddress},
        {0, "10.201.0.0", Texts(2).msgIpNetworkAddress},
        {0, "127.0.0.1", Texts(2).msgIpLoopback},
        {0, "0.0.0.0", Texts(2).msgFirstOctet[0]},
        {1, "255.0.255.0", Texts(2).msgMaskNotContiguous},
        {1, "255.255.255.252", Texts(2).msgIpNetworkAddress},  // 10.201.3.4 under a /30
        {2, "224.0.0.1", Texts(2).msgFirstOctet[1]},
        {2, "0.0.0.0", Texts(2).msgFirstOctet[1]},
        {3, "255.255.255.255", Texts(2).msgFirstOctet[2]},
        {3, "0.0.0.0", Texts(2).msgFirstOctet[2]},
        {4, "239.1.1.1", Texts(2).msgFirstOctet[3]},
        {4, "0.0.0.0", Texts(2).msgFirstOctet[3]},
    };
    const std::string header = "device,ip,mask,gateway,server,standby\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(kColumns[c.column]) + " " + c.value);
        std::vector<std::string> cells = present;
        cells[static_cast<size_t>(c.column)] = c.value;
        // One sound change in another column, so the row is not already as planned.
        const size_t other = c.column == 4 ? 3 : 4;
        cells[other] = "10.201.0.9";
        std::string line = "1001";
        for (const std::string& cell : cells) line += "," + cell;
        const std::string plan = header + "1000," + present[0] + ",,,,\n" + line + "\n";

        const std::optional<PlanError> fault = FaultOf(plan, {Device(1000, present), Device(1001, present)});
        ASSERT_TRUE(fault);
        EXPECT_EQ(fault->line, 3);
        EXPECT_EQ(fault->column, kColumns[c.column]);
        EXPECT_EQ(fault->message.rfind("device 1001: " + c.message, 0), 0u) << fault->message;

        std::vector<std::string> has = present;
        has[static_cast<size_t>(c.column)] = c.value;
        EXPECT_EQ(FaultOf(plan, {Device(1000, present), Device(1001, has)}), std::nullopt);
    }
}

// Matching goes by device number, whatever the order of the rows and the file.
TEST(ChangePlan, MatchesRowsToDevicesByNumber) {
    const std::vector<std::string> settings = {"10.0.0.5", "255.255.255.0", "10.0.0.1", "10.0.0.2",
                                               "10.0.0.3"};
    const PlanReading reading = ReadAddressPlan("device,ip\n7,10.0.0.7\n5,10.0.0.5\n9,10.0.0.9\n");
    ASSERT_TRUE(reading.plan);
    std::vector<std::string> seven = settings;
    seven[0] = "10.0.0.70";
    const MatchedPlan matched = MatchPlan(*reading.plan, {Device(5, settings), Device(7, seven)});
    EXPECT_EQ(matched.devices, (std::vector<int32_t>{7, 5, 9}));
    EXPECT_EQ(matched.unchanged, (std::set<int32_t>{5}));
    EXPECT_EQ(matched.settings->size(), 2u) << "7 gets its new address; 9 was not found but stays planned";
    EXPECT_EQ(matched.settings->at(7).ip, IPv4Address::Parse("10.0.0.7"));
}

}  // namespace
}  // namespace quillane::cli
