// Runs from the window: Modify IP with its dialog and the controls it locks
// until the batch ends, an upgrade over loopback whose workers move the
// window through its captions, and the system's end of the session.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/tftp_server.h"
#include "model/control_ids.h"
#include "runs/command_loop.h"
#include "support/bounded_thread.h"
#include "testing/loopback_devices.h"
#include "testing/loopback_network.h"
#include "testing/paced_fetcher.h"
#include "wide_text.h"
#include "window_harness.h"

using namespace quillane;
using namespace win32;
using namespace win32::test;

namespace {

// Presses OK in the IP settings dialog once it is open (it runs modally).
void ConfirmNextIpDialog() {
    AfterDelay(50, [] {
        if (HWND dialog = FindThreadDialog(kIdEditType))
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
}

LRESULT CALLBACK RecordPositions(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR positions) {
    if (message == PBM_SETPOS)
        reinterpret_cast<std::vector<int>*>(positions)->push_back(static_cast<int>(wParam));
    return DefSubclassProc(window, message, wParam, lParam);
}

const int kRunLockedControls[] = {kIdStartIP, kIdEndIP,     kIdFindType, kIdKeyboard, kIdFind,
                                  kIdOpen,    kIdSelectAll, kIdCancel,   kIdPlayDev,  kIdSoundCollectionDev};

}  // namespace

TEST(Runs, ModifyIpLocksTheWindowUntilTheBatchEnds) {
    WindowFixture f;
    f.dir.Write("Ostrel.ini",  // entries that pass OK
                "[Ostrel]\r\nIP=172820737\r\nGateWay=172818686\r\nServerIP=172818433\r\n"
                "BackServerIP=172818434\r\nMask=-65536\r\n");
    DeviceRow row;
    row[kColIP] = "10.77.1.5";
    row[kColMask] = "255.255.0.0";
    row[kColGateway] = row[kColServer] = row[kColStandbyServer] = "10.77.0.1";
    row[kColDeviceNo] = "5";
    f.station().m_DeviceList.AppendRow(row);
    ASSERT_TRUE(f.ListShowsRows(1));

    ConfirmNextIpDialog();
    f.Click(kIdModifyIP);  // returns once the dialog has closed
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, "请选择需要修改的设备");
    EXPECT_EQ(f.messages[0].caption, "错误");
    EXPECT_TRUE(f.Enabled(kIdFind));

    f.Click(kIdSelectAll);
    ConfirmNextIpDialog();
    f.Click(kIdModifyIP);
    EXPECT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.Text(kIdModifyIP), "停止");
    EXPECT_TRUE(f.Enabled(kIdModifyIP));
    for (int id : kRunLockedControls) EXPECT_FALSE(f.Enabled(id)) << id;
    EXPECT_FALSE(f.Enabled(kIdUpgrade));
    EXPECT_TRUE(f.Enabled(kIdAmpMonitorDev));
    EXPECT_EQ(f.station().m_dwNewIP, 0x0A4D0105u);  // the chosen row's values came up and were confirmed
    EXPECT_EQ(f.station().m_bModifyRequest.load(), 1);

    f.Click(kIdModifyIP);  // Stop
    EXPECT_EQ(f.station().m_bModifyContinue.load(), 0);
    EXPECT_EQ(f.Text(kIdModifyIP), "停止");

    // The command loop's pass on a worker: the batch ends at once and gives
    // the controls back through the window's queue.
    std::thread loop([&] {
        CommandLoopState state;
        RunCommandLoopPass(f.station(), state);
    });
    loop.join();
    EXPECT_TRUE(PumpUntil([&] { return f.Text(kIdModifyIP) == "编辑IP"; }));
    for (int id :
         {kIdFindType, kIdKeyboard, kIdFind, kIdOpen, kIdUpgrade, kIdSelectAll, kIdCancel, kIdPlayDev})
        EXPECT_TRUE(f.Enabled(id)) << id;
    EXPECT_FALSE(f.Enabled(kIdStartIP)) << "automatic search keeps the range off";
    EXPECT_EQ(f.station().m_bModifyRequest.load(), 0);
}

// An upgrade over loopback: the device (a socket on 127.0.0.1) gets its
// commands, fetches the image from the window's TFTP server, and the workers'
// calls carry the window through "Stop", the progress and back to "Upgrade".
// Closing is refused meanwhile; afterwards it works and every worker ends in time.
TEST(Runs, UpgradeCarriesTheWindowThroughItsCaptions) {
    std::vector<std::string> missed;
    BoundedThread::SetMissedBoundHandler([&](const std::string& name) { missed.push_back(name); });
    {
        quillane::test::LoopbackDevices device({"127.0.0.1"});
        StationNetwork network = quillane::test::LoopbackNetwork(device.Port());
        network.startServices = true;
        WindowFixture f(2, network, [](Station& station) {
            station.m_queryLocalAddresses = [] { return LocalAddressLists{{"127.0.0.1"}, {"255.0.0.0"}}; };
        });
        Station& station = f.station();
        const std::string firmware = f.dir.Write("unit.bin", std::string(40 * 512 + 100, 'f'));
        station.SetUpdateFile(firmware);
        DeviceRow row;
        row[kColIP] = "127.0.0.1";
        row[kColMask] = "255.255.255.0";
        row[kColDeviceNo] = "7";
        station.m_DeviceList.AppendRow(row);
        ASSERT_TRUE(f.ListShowsRows(1));

        std::vector<int> positions;  // every position the bar was given
        SetWindowSubclass(f.Control(kIdProgress), RecordPositions, 1,
                          reinterpret_cast<DWORD_PTR>(&positions));
        f.Click(kIdSelectAll);
        f.Click(kIdUpgrade);
        EXPECT_EQ(f.Text(kIdUpgrade), "Stop");
        for (int id : kRunLockedControls) EXPECT_FALSE(f.Enabled(id)) << id;
        EXPECT_FALSE(f.Enabled(kIdModifyIP));
        // The command loop begins the first device once it takes the run's start.
        EXPECT_TRUE(PumpUntil([&] { return ListCell(f.List(), 0, kColState) == "Upgrade..."; }));
        EXPECT_EQ(device.Received(0), quillane::test::kThreeUpgradeCommands);

        SendMessageW(f.Window().Handle(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(f.Window().Ended());
        ASSERT_FALSE(f.messages.empty());
        EXPECT_EQ(f.messages.back().caption, "Hint");

        {
            quillane::test::PacedFetcher fetcher("127.0.0.1", station.m_pTftpServer->ListenPort(), firmware,
                                                 std::chrono::milliseconds(20));
            EXPECT_TRUE(PumpUntil([&] { return ListCell(f.List(), 0, kColState).ends_with("%"); }));
            EXPECT_TRUE(PumpUntil([&] { return f.Text(kIdUpgrade) == "Upgrade"; }, 30000));
        }
        // The transfer's percentages arrived in the order they were made,
        // then the run's end set the bar back to 0.
        ASSERT_GE(positions.size(), 3u);
        EXPECT_EQ(positions.back(), 0);
        EXPECT_EQ(positions[positions.size() - 2], 100);
        EXPECT_TRUE(std::is_sorted(positions.begin() + 1, positions.end() - 1));
        EXPECT_EQ(station.m_bUpgrading.load(), 0);
        EXPECT_EQ(ListCell(f.List(), 0, kColState), "100%");
        EXPECT_EQ(SendMessageW(f.Control(kIdProgress), PBM_GETPOS, 0, 0), 0);  // the run's end clears it
        for (int id : {kIdFind, kIdModifyIP, kIdOpen, kIdSelectAll, kIdPlayDev})
            EXPECT_TRUE(f.Enabled(id)) << id;

        RemoveWindowSubclass(f.Control(kIdProgress), RecordPositions, 1);
        SendMessageW(f.Window().Handle(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(f.Window().Ended());
    }
    BoundedThread::SetMissedBoundHandler(nullptr);
    EXPECT_TRUE(missed.empty()) << (missed.empty() ? "" : missed.front());
}

// Log-off or shut-down is never refused, not even during an upgrade run: the
// services stop, and the window ends without asking anything.
TEST(Runs, EndOfSessionStopsTheServicesEvenDuringAnUpgrade) {
    StationNetwork network = quillane::test::LoopbackNetwork();
    network.startServices = true;
    WindowFixture f(1, network);
    Station& station = f.station();
    ASSERT_NE(station.m_pTftpServer, nullptr);
    EXPECT_EQ(station.m_bLoopRun.load(), 1);
    station.m_bUpgrading = 1;
    station.m_bUpgradeContinue = 1;

    EXPECT_EQ(SendMessageW(f.Window().Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_FALSE(f.Window().Ended());
    SendMessageW(f.Window().Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(f.Window().Ended());
    EXPECT_EQ(station.m_bLoopRun.load(), 0);
    EXPECT_FALSE(station.m_hLoopThread.Joinable());
    EXPECT_FALSE(station.m_pTftpServer->ready.load());
    EXPECT_TRUE(f.messages.empty());  // no refusal
}

// A session that goes on (another program refused the end) changes nothing.
TEST(Runs, CancelledEndOfSessionKeepsTheWindow) {
    WindowFixture f;
    SendMessageW(f.Window().Handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(f.Window().Ended());
}
