#include <gtest/gtest.h>

#include "model/control_ids.h"
#include "runs/command_loop.h"
#include "station/station.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

using test::RecordingView;
using test::TempFolder;
using Message = RecordingView::Message;

class ModifyIpActionTest : public ::testing::Test {
protected:
    ModifyIpActionTest() { station.m_nLanguage = 2; }

    void AddRow(const char* ip, bool chosen, const char* mask = "255.255.255.0",
                const char* gateway = "0.0.0.0", const char* server = "0.0.0.0",
                const char* standby = "0.0.0.0") {
        DeviceRow cells;
        cells[kColChoice] = chosen ? kCheckMark : "";
        cells[kColIP] = ip;
        cells[kColMask] = mask;
        cells[kColGateway] = gateway;
        cells[kColServer] = server;
        cells[kColStandbyServer] = standby;
        cells[kColDeviceNo] = std::to_string(station.m_DeviceList.RowCount() + 1);
        station.m_DeviceList.AppendRow(cells);
    }
    // Nothing of a run has started.
    void ExpectIdle() {
        EXPECT_EQ(station.m_bModifyRequest, 0);
        EXPECT_EQ(station.m_bModifyContinue, 0);
        EXPECT_EQ(station.m_DeviceList.m_bSortEnabled, 1);
        EXPECT_TRUE(view.controlLog.empty());
        EXPECT_FALSE(station.m_hLoopEvent.Wait(0));
    }

    TempFolder dir;
    RecordingView view;
    Station station{view, dir.Dir(), StationNetwork{.startServices = false}};
};

IpSettingsValues Entered() {
    IpSettingsValues v;
    v.ip = 0x0A4D0901;  // 10.77.9.1
    v.mask = 0xFFFF0000;
    v.gateway = 0x0A4D00FE;
    v.server = 0x0A4D0009;
    v.backupServer = 0x0A4D000A;
    v.ipCheck = 1;
    v.maskCheck = 0;
    v.gatewayCheck = 1;
    v.serverCheck = 0;
    v.backupServerCheck = 1;
    v.editType = 2;
    return v;
}

}  // namespace

TEST_F(ModifyIpActionTest, DialogOpensWithTheFirstChosenRowInDisplayOrderAndCancelChangesNothing) {
    AddRow("10.0.0.5", false);
    AddRow("192.168.1.30", true);
    AddRow("192.168.1.20", true, "255.255.255.0", "192.168.1.1", "192.168.1.250", "192.168.1.251");
    station.m_DeviceList.HeaderClick(kColIP);  // descending: .30 first
    station.m_DeviceList.HeaderClick(kColIP);  // ascending: 10.0.0.5, .20, .30
    station.SetLocalAddresses({{"1.2.3.4"}, {"255.0.0.0"}});
    station.OnModifyIP();
    ASSERT_EQ(view.ipSettingsAsked.size(), 1u);
    const IpDeviceValues& asked = view.ipSettingsAsked[0].device;
    EXPECT_EQ(asked.ip, 0xC0A80114u);
    EXPECT_EQ(asked.mask, 0xFFFFFF00u);
    EXPECT_EQ(asked.gateway, 0xC0A80101u);
    EXPECT_EQ(asked.server, 0xC0A801FAu);
    EXPECT_EQ(asked.backupServer, 0xC0A801FBu);
    EXPECT_EQ(view.ipSettingsAsked[0].appDir, station.m_strAppDir);
    EXPECT_EQ(view.ipSettingsAsked[0].language, 2);

    ExpectIdle();  // cancelled
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(station.LocalAddresses()->ips, std::vector<std::string>{"1.2.3.4"}) << "lists not refreshed";
}

TEST_F(ModifyIpActionTest, NoChosenRowAfterOkShowsTheMessageOnly) {
    struct Case {
        int language;
        std::vector<Message> messages;
    };
    const Case cases[] = {
        {1, {{"请选择需要修改的设备", "错误"}}},
        {2, {{"Please select a need to modify the equipment", "Error"}}},
        {3, {}},
    };
    AddRow("10.0.0.5", false);
    view.ipSettingsAnswer = Entered();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        view.messages.clear();
        view.ipSettingsAsked.clear();
        station.m_nLanguage = c.language;
        station.OnModifyIP();
        ASSERT_EQ(view.ipSettingsAsked.size(), 1u);
        EXPECT_FALSE(view.ipSettingsAsked[0].device.AnyNonZero())
            << "no row: the dialog shows its stored values";
        EXPECT_EQ(view.messages, c.messages);
        EXPECT_EQ(station.m_dwNewIP, 0u);
        ExpectIdle();
    }
}

TEST_F(ModifyIpActionTest, OkHandsTheRunToTheLoopWithTheControlsLocked) {
    AddRow("192.168.1.20", true);
    view.ipSettingsAnswer = Entered();
    station.SetLocalAddresses({{"1.2.3.4"}, {"255.0.0.0"}});
    station.OnModifyIP();

    EXPECT_EQ(station.m_bChangeIP, 1);
    EXPECT_EQ(station.m_bChangeMask, 0);
    EXPECT_EQ(station.m_bChangeGateway, 1);
    EXPECT_EQ(station.m_bChangeServer, 0);
    EXPECT_EQ(station.m_bChangeBackupServer, 1);
    EXPECT_EQ(station.m_nEditType, 2);
    EXPECT_EQ(station.m_dwNewIP, 0x0A4D0901u);
    EXPECT_EQ(station.m_dwNewMask, 0xFFFF0000u);
    EXPECT_EQ(station.m_dwNewGateway, 0x0A4D00FEu);
    EXPECT_EQ(station.m_dwNewServer, 0x0A4D0009u);
    EXPECT_EQ(station.m_dwNewBackupServer, 0x0A4D000Au);
    EXPECT_NE(station.LocalAddresses()->ips, std::vector<std::string>{"1.2.3.4"}) << "lists refreshed";
    // The loop gets the entries as one value with the press: it never reads the members or the window.
    const std::optional<AddressChangeRequest> request = station.TakeAddressChangeRequest();
    ASSERT_TRUE(request);
    const DeviceSettings& given = request->settings.given;
    EXPECT_TRUE(given.ip && given.gateway && given.standby);
    EXPECT_FALSE(given.mask || given.server);
    EXPECT_EQ(request->settings.editType, 2);
    EXPECT_EQ(given.ip, IPv4Address(0x0A4D0901u));
    EXPECT_EQ(given.standby, IPv4Address(0x0A4D000Au));
    EXPECT_EQ(request->plan, nullptr);
    EXPECT_EQ(request->rangeSearchChosen, view.findType != 0);

    const std::vector<std::string> locked = {
        "disable 1004", "disable 1005", "disable 1011", "disable 1006", "disable 1001", "caption 1010 Stop",
        "disable 1008", "disable 1009", "disable 1002", "disable 1003", "disable 1028", "disable 1030",
        "disable 1031", "disable 1032", "disable 1033", "disable 1034", "disable 1035", "disable 1046"};
    EXPECT_EQ(view.controlLog, locked);
    EXPECT_EQ(station.m_DeviceList.m_bSortEnabled, 0);
    EXPECT_EQ(station.m_bModifyRequest, 1);
    EXPECT_EQ(station.m_bModifyContinue, 1);
    EXPECT_TRUE(station.m_hLoopEvent.Wait(0)) << "the loop is woken for the batch";
    EXPECT_TRUE(view.messages.empty());
}

// A second press asks to stop, a third does nothing; once the loop has finished
// the run, the next press opens the dialog again.
TEST_F(ModifyIpActionTest, PressesDuringARunAskToStopOnce) {
    AddRow("192.168.1.20", true);
    view.ipSettingsAnswer = Entered();
    station.OnModifyIP();
    const size_t logged = view.controlLog.size();

    station.OnModifyIP();
    EXPECT_EQ(station.m_bModifyRequest, 1);
    EXPECT_EQ(station.m_bModifyContinue, 0);
    station.OnModifyIP();
    EXPECT_EQ(station.m_bModifyRequest, 1);
    EXPECT_EQ(station.m_bModifyContinue, 0);
    EXPECT_EQ(view.ipSettingsAsked.size(), 1u);
    EXPECT_EQ(view.controlLog.size(), logged) << "the caption stays Stop";

    CommandLoopState loop;
    EXPECT_TRUE(RunCommandLoopPass(station, loop));
    EXPECT_EQ(station.m_bModifyRequest, 0);
    EXPECT_EQ(station.m_bModifyContinue, 0);
    EXPECT_EQ(station.m_DeviceList.m_bSortEnabled, 1);
    EXPECT_EQ(view.captions[kIdModifyIP], "Edit IP");

    station.OnModifyIP();
    EXPECT_EQ(view.ipSettingsAsked.size(), 2u);
    EXPECT_EQ(station.m_bModifyRequest, 1);
}

TEST_F(ModifyIpActionTest, LanguageThreeStartsTheRunAndKeepsTheCaption) {
    station.m_nLanguage = 3;
    AddRow("192.168.1.20", true);
    view.ipSettingsAnswer = Entered();
    station.OnModifyIP();
    EXPECT_EQ(station.m_bModifyRequest, 1);
    EXPECT_EQ(view.captions.count(kIdModifyIP), 0u);
    EXPECT_FALSE(view.Enabled(kIdFind));
}

}  // namespace quillane
