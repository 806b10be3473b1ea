#include "runs/address_change_sender.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "model/control_ids.h"
#include "model/device_types.h"
#include "runs/address_change_batch.h"
#include "station/station.h"
#include "support/tick_clock.h"
#include "testing/loopback_network.h"
#include "testing/recording_view.h"
#include "testing/wine.h"

using namespace quillane;
using quillane::test::RecordingView;

namespace {

// Devices on loopback addresses of their own (all of 127.0.0.0/8 is
// loopback): one socket per address, all on one port, so a datagram shows
// the address it was sent to by the socket it arrives at.
class LoopbackDevices {
public:
    explicit LoopbackDevices(const std::vector<std::string>& addresses) {
        for (const std::string& address : addresses) {
            const SocketHandle s = UdpSocketCreate();
            EXPECT_TRUE(SocketBind(s, ParseIPv4(address), m_port)) << address;
            if (m_port == 0) m_port = SocketLocalPort(s);
            m_sockets[address] = s;
        }
    }
    ~LoopbackDevices() {
        for (const auto& [address, s] : m_sockets) SocketClose(s);
    }
    uint16_t Port() const { return m_port; }

    // Every datagram that arrived at `address` so far.
    std::vector<Datagram> At(const std::string& address) {
        std::vector<Datagram> got;
        uint8_t buffer[256];
        while (SocketWaitReadable(m_sockets.at(address), 20) == 1) {
            const int n = SocketReceiveFrom(m_sockets.at(address), buffer, sizeof buffer, nullptr);
            if (n > 0) got.emplace_back(buffer, buffer + n);
        }
        return got;
    }

private:
    uint16_t m_port = 0;
    std::map<std::string, SocketHandle> m_sockets;
};

uint32_t Field(const Datagram& d, size_t offset) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= uint32_t{d.at(offset + i)} << (8 * i);
    return v;
}
std::string NewIp(const Datagram& d) {
    return IPv4Address(Field(d, 24)).ToString();
}

constexpr const char* kGroupStandIn = "127.0.0.1";  // the command group of the loopback network

class AddressChangeSenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::RunsUnderWine()) GTEST_SKIP() << "under wine: devices on 127.1.1.x cannot bind";
        TickClock::UseManual(5000);
        Reset(2);
    }
    void TearDown() override { TickClock::UseReal(); }

    // A fresh window and station in `language`, with a batch requested.
    void Reset(int language) {
        station.reset();
        view = std::make_unique<RecordingView>();
        view->findType = 0;
        devicePlan = nullptr;
        station = std::make_unique<Station>(*view, "/nonexistent/", test::LoopbackNetwork());
        station->m_nLanguage = language;
        station->SetLocalAddresses({{"127.1.1.1"}, {"255.255.0.0"}});
        ASSERT_EQ(UdpEndpointOpen(station->m_DeviceEndpoint, 0, nullptr, nullptr), 1);
        station->m_bModifyRequest = 1;
        station->m_bModifyContinue = 1;
        station->m_DeviceList.m_bSortEnabled = 0;
        ChangeIp("10.1.5.247", 0);
    }

    // The request Modify IP makes of the confirmed entries (here the station's
    // eleven members) and the find type.
    AddressChangeRequest Request() const {
        IpSettingsValues entered;
        entered.ipCheck = station->m_bChangeIP;
        entered.maskCheck = station->m_bChangeMask;
        entered.gatewayCheck = station->m_bChangeGateway;
        entered.serverCheck = station->m_bChangeServer;
        entered.backupServerCheck = station->m_bChangeBackupServer;
        entered.editType = station->m_nEditType;
        entered.ip = station->m_dwNewIP;
        entered.mask = station->m_dwNewMask;
        entered.gateway = station->m_dwNewGateway;
        entered.server = station->m_dwNewServer;
        entered.backupServer = station->m_dwNewBackupServer;
        return {SettingsFromDialog(entered), devicePlan, view->findType != 0, nullptr};
    }
    void ChangeIp(const char* ip, int editType) {
        station->m_bChangeIP = 1;
        station->m_dwNewIP = IPv4Address::Parse(ip).Number();
        station->m_nEditType = editType;
    }
    int AddRow(const std::string& ip, int32_t number, bool chosen, const char* mask = "255.255.255.0") {
        DeviceRow cells;
        cells[kColChoice] = chosen ? kCheckMark : "";
        cells[kColState] = "earlier";
        cells[kColIP] = ip;
        cells[kColMask] = mask;
        cells[kColGateway] = "127.1.1.254";
        cells[kColServer] = "127.1.1.250";
        cells[kColStandbyServer] = "127.1.1.251";
        cells[kColDeviceNo] = std::to_string(number);
        cells[kColMarker] = "0";
        return station->m_DeviceList.AppendRow(cells);
    }
    void Send(LoopbackDevices& devices) {
        station->m_DeviceLink.SetCommandPort(devices.Port());
        SendAddressChanges(*station, Request());
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < station->m_DeviceList.RowCount(); ++row) {
            texts.push_back(station->m_DeviceList.Cell(row, column));
        }
        return texts;
    }
    void ExpectWindowIdle() {
        EXPECT_EQ(view->Caption(kIdModifyIP), "Edit IP");
        for (int id : {kIdFindType, kIdKeyboard, kIdFind, kIdOpen, kIdUpgrade, kIdSelectAll, kIdCancel}) {
            EXPECT_TRUE(view->Enabled(id)) << id;
        }
        for (int id : kRunLockedTypeBoxes) EXPECT_TRUE(view->Enabled(id)) << id;
        EXPECT_FALSE(view->Enabled(kIdStartIP)) << "automatic search: the range stays off";
        EXPECT_FALSE(view->Enabled(kIdEndIP));
    }

    std::unique_ptr<RecordingView> view;
    std::unique_ptr<Station> station;
    std::shared_ptr<const DeviceSettingsPlan> devicePlan;  // an address plan from a file, when set
};

}  // namespace

// 37 chosen rows among 45, the last one outside the workstation's segments:
// each chosen device gets exactly one command at its own address (the group
// for the last), with consecutive new addresses in table order across a block.
TEST_F(AddressChangeSenderTest, EachChosenDeviceGetsOneCommandAtItsAddressInTableOrder) {
    std::vector<std::string> addresses = {kGroupStandIn};
    for (int i = 0; i < 44; ++i) {
        addresses.push_back("127.1.1." + std::to_string(10 + i));
        AddRow(addresses.back(), 1000 + i, i % 5 != 4);
    }
    const int outside = AddRow("127.2.0.5", 70001, true);
    LoopbackDevices devices(addresses);
    Send(devices);

    int k = 0;
    auto expectedNewIp = [](int k) {
        return k < 3 ? "10.1.5." + std::to_string(247 + k) : "10.1.6." + std::to_string(k - 2);
    };
    for (int i = 0; i < 44; ++i) {
        const std::string ip = "127.1.1." + std::to_string(10 + i);
        const std::vector<Datagram> got = devices.At(ip);
        if (i % 5 == 4) {
            EXPECT_TRUE(got.empty()) << ip << " is not chosen";
            continue;
        }
        ASSERT_EQ(got.size(), 1u) << ip;
        EXPECT_EQ(got[0].size(), kChangeDirectLength);
        EXPECT_EQ(IPv4Address(Field(got[0], 12)).ToString(), ip);
        EXPECT_EQ(NewIp(got[0]), expectedNewIp(k++)) << ip;
        EXPECT_EQ(Field(got[0], 32), 0xFFFFFF00u) << "mask kept";
    }
    const std::vector<Datagram> group = devices.At(kGroupStandIn);
    ASSERT_EQ(group.size(), 1u);
    EXPECT_EQ(group[0].size(), kChangeGroupLength);
    EXPECT_EQ(NewIp(group[0]), expectedNewIp(k));

    for (int row = 0; row < station->m_DeviceList.RowCount(); ++row) {
        const bool chosen = row == outside || row % 5 != 4;
        EXPECT_EQ(station->m_DeviceList.Cell(row, kColState), chosen ? "修改..." : "earlier") << row;
        EXPECT_EQ(station->m_DeviceList.Cell(row, kColMarker), chosen ? "1" : "0") << row;
    }
    EXPECT_EQ(TickClock::SleepCount(), 1u) << "10 ms after the 20th row, not after the 37th";
    EXPECT_TRUE(view->Messages().empty());
    ExpectWindowIdle();
}

// A batch shown before it is sent (the command-line tool's) goes out as it
// was worked out, not planned a second time from what changed since.
TEST_F(AddressChangeSenderTest, ABatchWorkedOutBeforehandIsSentAsItStands) {
    AddRow("127.1.1.10", 1000, true);
    const int later = AddRow("127.1.1.11", 1001, false);
    AddressChangeRequest request = Request();
    request.batch = std::make_shared<const AddressChangeBatch>(PlanBatchOverTable(*station, request));
    station->m_DeviceList.SetCell(later, kColChoice, kCheckMark);
    request.settings.ip = IPv4Address::Parse("10.9.9.9");

    LoopbackDevices devices({"127.1.1.10", "127.1.1.11"});
    station->m_DeviceLink.SetCommandPort(devices.Port());
    SendAddressChanges(*station, request);
    const std::vector<Datagram> got = devices.At("127.1.1.10");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(NewIp(got[0]), "10.1.5.247");
    EXPECT_TRUE(devices.At("127.1.1.11").empty());
    ExpectWindowIdle();
}

TEST_F(AddressChangeSenderTest, RangeErrorEndsTheBatchAfterOrBeforeTheLastAddress) {
    struct Case {
        const char* entered;
        int language;
        size_t sent;
        std::vector<std::string> states;
    };
    const Case cases[] = {
        {"223.255.254.248", 2, 2, {"修改...", "修改...", "earlier", "earlier"}},
        {"223.255.255.250", 1, 0, {"修改...", "earlier", "earlier", "earlier"}},
        {"223.255.255.250", 3, 0, {"修改...", "earlier", "earlier", "earlier"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entered + std::string(" language ") + std::to_string(c.language));
        Reset(c.language);
        ChangeIp(c.entered, 0);
        std::vector<std::string> addresses;
        for (int i = 0; i < 4; ++i) {
            addresses.push_back("127.1.1." + std::to_string(20 + i));
            AddRow(addresses.back(), i + 1, true);
        }
        LoopbackDevices devices(addresses);
        Send(devices);
        size_t sent = 0;
        for (const std::string& a : addresses) sent += devices.At(a).size();
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(Column(kColState), c.states);
        using Message = RecordingView::Message;
        const std::map<int, std::vector<Message>> messages = {
            {1, {{"IP地址超出了范围", "错误"}}},
            {2, {{"The IP address is beyond the scope of", "Error"}}},
            {3, {}}};
        EXPECT_EQ(view->Messages(), messages.at(c.language));
        EXPECT_TRUE(view->Enabled(kIdFind)) << "the window is idle again";
    }
}

// The operator's Stop is honoured between two rows: the batch ends, rows not
// reached keep their State text, the window is idle again.
TEST_F(AddressChangeSenderTest, StopPressEndsTheBatchBetweenTwoRows) {
    class PressStopAtFifthRow : public DeviceTableObserver {
    public:
        explicit PressStopAtFifthRow(Station& s) : m_station(s) {}
        void RowsCleared() override {}
        void RowAppended(int, const DeviceRow&) override {}
        void RowsReordered(const std::vector<DeviceRow>&) override {}
        void CellChanged(int, int column, const std::string& text) override {
            if (column == kColState && text == "修改..." && ++marked == 5) m_station.OnModifyIP();
        }
        Station& m_station;
        int marked = 0;
    };
    std::vector<std::string> addresses;
    for (int i = 0; i < 12; ++i) {
        addresses.push_back("127.1.1." + std::to_string(30 + i));
        AddRow(addresses.back(), i + 1, true);
    }
    LoopbackDevices devices(addresses);
    PressStopAtFifthRow pressStop(*station);
    station->m_DeviceList.SetObserver(&pressStop);
    Send(devices);
    station->m_DeviceList.SetObserver(nullptr);

    EXPECT_EQ(station->m_bModifyContinue, 0);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(devices.At(addresses[static_cast<size_t>(i)]).size(), i < 5 ? 1u : 0u) << i;
        EXPECT_EQ(station->m_DeviceList.Cell(i, kColState), i < 5 ? "修改..." : "earlier") << i;
    }
    ExpectWindowIdle();
}

// Rows a command would reach other devices through show the failure at once
// and receive nothing; without a chosen row nothing is sent at all.
TEST_F(AddressChangeSenderTest, RowsThatWouldReachOtherDevicesFailAtOnce) {
    AddRow("127.1.255.255", 1, true, "255.255.0.0");  // the segment's broadcast address
    AddRow("127.3.0.1", 70001, true);                 // group form, shares its low 16 bits
    AddRow("127.4.0.1", 4465, false);
    AddRow("127.1.1.40", 4, true);
    LoopbackDevices devices({kGroupStandIn, "127.1.1.40"});
    Send(devices);
    EXPECT_TRUE(devices.At(kGroupStandIn).empty());
    const std::vector<Datagram> got = devices.At("127.1.1.40");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(NewIp(got[0]), "10.1.5.247") << "the refused rows took no address";
    EXPECT_EQ(Column(kColState), (std::vector<std::string>{"Failure", "Failure", "earlier", "修改..."}));
    EXPECT_EQ(Column(kColMarker), (std::vector<std::string>{"0", "0", "0", "1"}));
    // Beside the texts, why: each refusal carries its reason.
    EXPECT_EQ(station->m_DeviceList.RowStateOf(0),
              RowState::Failed(FailureReason::kNotSingleHost, "its address is not a single host's"));
    EXPECT_EQ(station->m_DeviceList.RowStateOf(1),
              RowState::Failed(FailureReason::kSharedGroupNumber,
                               "the group form would also reach another device with the same low 16 bits"));
    EXPECT_EQ(station->m_DeviceList.RowStateOf(2), RowState{});
    EXPECT_EQ(station->m_DeviceList.RowStateOf(3), RowState::Waiting());

    Reset(2);
    AddRow("127.1.1.40", 4, false);
    view->findType = 1;
    Send(devices);
    EXPECT_TRUE(devices.At("127.1.1.40").empty());
    EXPECT_TRUE(view->Enabled(kIdStartIP)) << "range search chosen: the range comes back";
    EXPECT_EQ(view->Caption(kIdModifyIP), "Edit IP");
}

// No batch gives two devices one address or a device another's address: the
// offending rows get nothing and show the failure text; the note line says why.
TEST_F(AddressChangeSenderTest, RowsThatWouldShareAnAddressAreRefusedBeforeAnythingIsSent) {
    // Without an IP change, automatic increase moves .250 and .251 both to x.y.(c+1).1.
    // (Refused rows need no socket: they lie outside the loopback segment, which
    // only the devices that do receive need.)
    station->m_bChangeIP = 0;
    AddRow("10.1.1.250", 10, true);
    AddRow("10.1.1.251", 11, true);
    AddRow("127.1.1.40", 12, true);
    LoopbackDevices devices({kGroupStandIn, "127.1.1.40"});
    Send(devices);
    EXPECT_TRUE(devices.At(kGroupStandIn).empty());
    ASSERT_EQ(devices.At("127.1.1.40").size(), 1u);
    EXPECT_EQ(Column(kColState), (std::vector<std::string>{"Failure", "Failure", "修改..."}));
    EXPECT_EQ(Column(kColMarker), (std::vector<std::string>{"0", "0", "1"}));
    EXPECT_EQ(station->m_DeviceList.RowStateOf(0),
              RowState::Failed(FailureReason::kSameNewAddress,
                               "address conflict: 10.1.2.1 would also go to device 11"));
    EXPECT_EQ(view->Caption(kIdNoteLine),
              "Not sent to 2 devices (10: address conflict: 10.1.2.1 would also go to device 11; 11: address "
              "conflict: 10.1.2.1 would also go to device 10)");
    ExpectWindowIdle();

    // Keeping the last octet: devices sharing it in two subnets would meet in the entered one;
    // the third would take the address of a listed device that is not chosen.
    Reset(1);
    ChangeIp("10.1.9.0", 1);
    AddRow("10.1.1.40", 20, true, "255.255.0.0");
    AddRow("10.1.2.40", 21, true, "255.255.0.0");
    AddRow("10.1.3.41", 22, true, "255.255.0.0");
    AddRow("10.1.9.41", 23, false, "255.255.0.0");
    AddRow("127.1.3.42", 24, true, "255.255.0.0");
    LoopbackDevices more({kGroupStandIn, "127.1.3.42"});
    Send(more);
    EXPECT_TRUE(more.At(kGroupStandIn).empty());
    const std::vector<Datagram> sent = more.At("127.1.3.42");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(NewIp(sent[0]), "10.1.9.42");
    EXPECT_EQ(Column(kColState), (std::vector<std::string>{"失败", "失败", "失败", "earlier", "修改..."}));
    EXPECT_EQ(view->Caption(kIdNoteLine),
              "未发送给3台设备（20：地址10.1.9.40同时分配给了设备21；21：地址10.1.9.40同时分配给了设备20；"
              "22：地址10.1.9.41已被设备23使用）");
}

// An address plan: each listed device gets exactly its entry, kept settings from its row.
TEST_F(AddressChangeSenderTest, APlanGivesEachDeviceExactlyItsSettings) {
    auto plan = std::make_shared<DeviceSettingsPlan>();
    (*plan)[30] = {IPv4Address::Parse("10.1.7.7"), std::nullopt, IPv4Address::Parse("10.1.7.254"),
                   std::nullopt, std::nullopt};
    (*plan)[31] = {std::nullopt, IPv4Address::Parse("255.255.0.0"), std::nullopt, std::nullopt, std::nullopt};
    devicePlan = plan;
    AddRow("127.1.1.30", 30, true);
    AddRow("127.1.1.31", 31, true);
    LoopbackDevices devices({"127.1.1.30", "127.1.1.31"});
    Send(devices);
    const std::vector<Datagram> first = devices.At("127.1.1.30"), second = devices.At("127.1.1.31");
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(NewIp(first[0]), "10.1.7.7");
    EXPECT_EQ(NewIp(second[0]), "127.1.1.31") << "no ip in the plan: the device keeps its address";
    const BatchRow planned = PlanAddressChangeBatch({station->m_DeviceList.Row(0)}, {}, plan.get(),
                                                    {{"127.1.1.1"}, {"255.255.0.0"}}, IPv4Address())
                                 .rows.at(0);
    EXPECT_EQ(IPv4Address(planned.plan.values.gateway).ToString(), "10.1.7.254");
    EXPECT_EQ(IPv4Address(planned.plan.values.mask).ToString(), "255.255.255.0");
    EXPECT_EQ(IPv4Address(planned.plan.values.serverIp).ToString(), "127.1.1.250");
    EXPECT_FALSE(planned.plan.groupForm);
}
