#include "runs/boot_responder.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/link/tftp_test_support.h"
#include "link/tftp_server.h"
#include "model/null_station_view.h"
#include "runs/command_loop.h"
#include "runs/station_state.h"
#include "testing/loopback_network.h"

using namespace quillane;
using namespace quillane::test;

namespace {

using SilentView = NullStationView;

// A boot request as a device loader sends it, with recognisable bytes in
// every field the reply must keep.
Bytes BootRequest(size_t size = kBootPacketSize, uint8_t op = 1) {
    Bytes packet(size);
    for (size_t i = 0; i < size; ++i) packet[i] = static_cast<uint8_t>(i * 7 + 3);
    if (size > 0) packet[0] = op;
    return packet;
}

uint32_t AddressAt(const Bytes& packet, size_t offset) {
    uint32_t address;
    std::memcpy(&address, &packet[offset], 4);
    return address;
}

// The station's boot endpoint is a loopback socket; replies go to a receiver
// of the test's own instead of the broadcast address and port 68.
class BootResponderTest : public ::testing::Test {
protected:
    BootResponderTest() : receiver(0), station(view, folder.Dir(), LoopbackNetwork(0, receiver.Port())) {}

    void SetUp() override {
        ASSERT_EQ(UdpEndpointOpen(station.m_BootEndpoint, 0, OnBootRequest, &station), 1);
        station.m_pTftpServer = std::make_unique<TftpServer>();
        station.SetUpdateFile("/opt/quillane/fw/unit-2.1.bin");
        SetLocal({"192.168.40.10", "10.0.0.5"}, {"255.255.255.0", "255.0.0.0"});
    }

    void SetLocal(std::vector<std::string> ips, std::vector<std::string> masks) {
        station.SetLocalAddresses(LocalAddressLists{std::move(ips), std::move(masks)});
    }
    void AddRow(bool chosen, const std::string& ip, const std::string& mask) {
        DeviceRow row;
        row[kColChoice] = chosen ? kCheckMark : "";
        row[kColIP] = ip;
        row[kColMask] = mask;
        station.m_DeviceList.AppendRow(row);
    }
    std::optional<Bytes> Exchange(const Bytes& request) {
        OnBootRequest(nullptr, request.data(), static_cast<int>(request.size()), &station);
        HandleLoopEvents(station);  // the command loop answers
        auto reply = receiver.Receive(100);
        if (!reply) return std::nullopt;
        return reply->bytes;
    }

    LoopbackClient receiver;
    TempFolder folder;
    SilentView view;
    StationState station;
};

TEST_F(BootResponderTest, AnswersOnlyThreeHundredByteRequests) {
    EXPECT_FALSE(Exchange(BootRequest(299)));
    EXPECT_FALSE(Exchange(BootRequest(301)));
    EXPECT_FALSE(Exchange(BootRequest(0)));
    const Bytes request = BootRequest();
    const auto reply = Exchange(request);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), kBootPacketSize);
    EXPECT_EQ((*reply)[0], 2);
    EXPECT_EQ((*reply)[8], 0x01);
    EXPECT_EQ((*reply)[9], 0x00);
    // Every field but op, secs, yiaddr, siaddr and file comes back unchanged.
    for (size_t i = 0; i < kBootPacketSize; ++i) {
        const bool changed = i == 0 || i == 8 || i == 9 || (i >= 16 && i < 24) || (i >= 108 && i < 236);
        if (!changed) {
            EXPECT_EQ((*reply)[i], request[i]) << "offset " << i;
        }
    }
    const std::string path = "/opt/quillane/fw/unit-2.1.bin";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&(*reply)[108]), path.size()), path);
    for (size_t i = 108 + path.size(); i < 236; ++i) EXPECT_EQ((*reply)[i], 0) << "offset " << i;
}

TEST_F(BootResponderTest, OddOpAndHardwareFieldsAreNotChecked) {
    Bytes request = BootRequest(kBootPacketSize, 255);
    request[2] = 200;  // hlen
    const auto reply = Exchange(request);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[0], 0);  // op + 1 wraps
    EXPECT_EQ((*reply)[2], 200);
}

TEST_F(BootResponderTest, WithoutARunTheFirstLocalAddressAndItsNeighbourAnswer) {
    AddRow(true, "10.1.2.3", "255.255.0.0");
    const auto reply = Exchange(BootRequest());
    ASSERT_TRUE(reply);
    EXPECT_EQ(AddressAt(*reply, kBootSiaddrOffset), ParseIPv4("192.168.40.10"));
    EXPECT_EQ(AddressAt(*reply, kBootYiaddrOffset), ParseIPv4("192.168.40.254"));
}

TEST_F(BootResponderTest, DuringARunTheChosenDeviceFromTheCurrentRowIsAnswered) {
    station.m_bUpgrading.store(1);
    AddRow(true, "192.168.40.77", "255.255.255.0");  // above the current row: never chosen
    AddRow(false, "10.9.9.9", "255.0.0.0");          // not chosen
    AddRow(true, "10.20.30.40", "255.0.0.0");        // faces the second local address
    AddRow(true, "192.168.40.88", "255.255.255.0");
    station.m_nUpgradeRow.store(1);
    auto reply = Exchange(BootRequest());
    ASSERT_TRUE(reply);
    EXPECT_EQ(AddressAt(*reply, kBootSiaddrOffset), ParseIPv4("10.0.0.5"));
    EXPECT_EQ(AddressAt(*reply, kBootYiaddrOffset), ParseIPv4("10.20.30.40"));

    station.m_nUpgradeRow.store(3);
    reply = Exchange(BootRequest());
    ASSERT_TRUE(reply);
    EXPECT_EQ(AddressAt(*reply, kBootSiaddrOffset), ParseIPv4("192.168.40.10"));
    EXPECT_EQ(AddressAt(*reply, kBootYiaddrOffset), ParseIPv4("192.168.40.88"));

    station.m_nUpgradeRow.store(4);  // no chosen row left
    EXPECT_FALSE(Exchange(BootRequest()));
}

// The TFTP server keeps room for the device the boot reply sent to it.
TEST_F(BootResponderTest, TheUpgradedDeviceIsTheOneTheBootReplyNames) {
    AddRow(true, "192.168.40.77", "255.255.255.0");
    AddRow(false, "10.9.9.9", "255.0.0.0");
    AddRow(true, "10.20.30.40", "255.0.0.0");
    EXPECT_EQ(UpgradingDeviceAddress(station, 1), 0u) << "no run";
    station.m_bUpgrading.store(1);
    EXPECT_EQ(UpgradingDeviceAddress(station, 1), ParseIPv4("10.20.30.40"));
    EXPECT_EQ(UpgradingDeviceAddress(station, 0), ParseIPv4("192.168.40.77"));
    EXPECT_EQ(UpgradingDeviceAddress(station, 3), 0u) << "no chosen row left";
}

// The worked example: no local subnet holds the device under the longer mask.
TEST_F(BootResponderTest, ADeviceOutsideEveryLocalSubnetGetsTheFallback) {
    station.m_bUpgrading.store(1);
    AddRow(true, "10.1.2.3", "255.255.0.0");
    const auto reply = Exchange(BootRequest());
    ASSERT_TRUE(reply);
    EXPECT_EQ(AddressAt(*reply, kBootSiaddrOffset), ParseIPv4("192.168.40.10"));
    EXPECT_EQ(AddressAt(*reply, kBootYiaddrOffset), ParseIPv4("192.168.40.254"));
}

TEST_F(BootResponderTest, NoLocalAddressOrAPathTooLongForTheFieldGetsNoAnswer) {
    station.SetUpdateFile("/" + std::string(126, 'p'));  // 127 bytes: fits with one zero byte
    const auto reply = Exchange(BootRequest());
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[235], 0);
    station.SetUpdateFile("/" + std::string(127, 'p'));
    EXPECT_FALSE(Exchange(BootRequest()));
    station.SetUpdateFile("/opt/fw.bin");
    SetLocal({}, {});
    EXPECT_FALSE(Exchange(BootRequest()));
}

TEST(BootReplyTest, BuildsNothingFromOddSizesOrLongPaths) {
    const Bytes request = BootRequest();
    const BootAddresses addresses = FallbackBootAddresses("172.16.5.9");
    EXPECT_EQ(addresses.device, ParseIPv4("172.16.5.254"));
    EXPECT_TRUE(BuildBootReply(request.data(), 300, std::string(127, 'x'), addresses));
    EXPECT_FALSE(BuildBootReply(request.data(), 300, std::string(128, 'x'), addresses));
    EXPECT_FALSE(BuildBootReply(request.data(), 299, "/fw.bin", addresses));
}

}  // namespace
