#include "runs/firmware_services.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#endif

#include "core/link/tftp_test_support.h"
#include "link/tftp_server.h"
#include "model/null_station_view.h"
#include "runs/boot_responder.h"
#include "runs/command_loop.h"
#include "runs/device_services.h"
#include "station/station.h"
#include "support/exe_dir.h"
#include "support/utf8_files.h"
#include "testing/loopback_network.h"

using namespace quillane;
using namespace quillane::test;

namespace {

using QuietView = NullStationView;

// The command loop's turn, on the test thread: waits (a bounded while) for
// what the endpoint posted and handles it. False when nothing came.
bool LoopHandlesPostedEvents(StationState& station) {
    for (int i = 0; i < 300; ++i) {
        if (HandleLoopEvents(station) > 0) return true;
        station.m_hLoopEvent.Wait(10);
    }
    return false;
}

// A device's boot request (op 1) to the station's boot endpoint, and the
// reply (the command loop's) that reaches `bootReceiver`.
std::optional<Packet> AskForBootReply(Station& station, LoopbackClient& bootReceiver) {
    LoopbackClient device(SocketLocalPort(station.m_BootEndpoint.socket));
    Bytes request(kBootPacketSize, 0);
    request[0] = 1;
    device.SendToServer(request);
    for (int i = 0; i < 300; ++i) {
        HandleLoopEvents(station);
        if (auto reply = bootReceiver.Receive(10)) return reply;
    }
    return std::nullopt;
}

// The station's firmware services on ports of the test's own: the server
// serves the station's chosen file and logs beside the station; the boot
// endpoint answers from the station's state.
TEST(FirmwareServicesTest, StationServesItsChosenFileAndAnswersBootRequests) {
    TempFolder folder;
    std::filesystem::create_directories(folder.File("log"));
    LoopbackClient bootReceiver(0);
    const StationNetwork network = LoopbackNetwork(0, bootReceiver.Port());
    QuietView view;
    Station station(view, folder.Dir(), network);
    const std::string firmware = folder.Write("unit.bin", Pattern(3000));
    station.SetUpdateFile(firmware);
    station.SetLocalAddresses({{"192.168.40.10"}, {"255.255.255.0"}});

    StartTftpServer(station);
    ASSERT_TRUE(station.m_pTftpServer);
    LoopbackClient client(station.m_pTftpServer->ListenPort());
    client.SendToServer(Request(kTftpReadRequest, firmware));
    EXPECT_EQ(client.FetchRest(client.Receive()), Pattern(3000));

    StartBootEndpoint(station);
    const auto reply = AskForBootReply(station, bootReceiver);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes[0], 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reply->bytes[kBootFileOffset])), firmware);

    StopTftpServer(station);
    ASSERT_TRUE(station.m_pTftpServer) << "kept until the boot endpoint is closed";
    EXPECT_EQ(station.m_pTftpServer->ThreadCount(), 0u);
    // The transfer was logged in the station's folder, under the executable's name.
    bool logged = false;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("log")))
        logged = logged ||
                 (entry.path().filename().string().rfind("test_runs", 0) == 0 &&
                  folder.ReadText(folder.LogFile(entry.path().filename().string())).find("Blocks Served") !=
                      std::string::npos);
    EXPECT_TRUE(logged);
}

// Operators keep firmware in folders named in their own language. The device
// is given the path in the system's narrow code page, which may not even hold
// those characters, and asks for exactly those bytes; the server still reads
// the file under its real name.
TEST(FirmwareServicesTest, ServesAFirmwareFileFromAFolderNamedInChinese) {
    TempFolder folder;
    std::filesystem::create_directories(PathFromUtf8(folder.File("log")));
    std::filesystem::create_directories(PathFromUtf8(folder.File("升级固件")));
    const std::string firmware =
        folder.Write(std::string("升级固件") + kPathSeparator + "网络功放 v2.bin", Pattern(5000));
    LoopbackClient bootReceiver(0);
    QuietView view;
    Station station(view, folder.Dir(), LoopbackNetwork(0, bootReceiver.Port()));
    station.SetUpdateFile(firmware);
    station.SetLocalAddresses({{"127.0.0.1"}, {"255.0.0.0"}});
    StartTftpServer(station);
    StartBootEndpoint(station);
    ASSERT_TRUE(station.m_pTftpServer);

    const auto reply = AskForBootReply(station, bootReceiver);
    ASSERT_TRUE(reply);
    const std::string named(reinterpret_cast<const char*>(&reply->bytes[kBootFileOffset]));
#ifdef _WIN32
    if (GetACP() == 936) {  // the Chinese code page carries the folder's name: 升级固件 in its bytes
        EXPECT_NE(named.find("\xC9\xFD\xBC\xB6\xB9\xCC\xBC\xFE\\"), std::string::npos) << named;
    }
#else
    EXPECT_EQ(named, firmware);
#endif

    LoopbackClient loader(station.m_pTftpServer->ListenPort());
    loader.SendToServer(Request(kTftpReadRequest, named));
    EXPECT_EQ(loader.FetchRest(loader.Receive()), Pattern(5000));
    StopTftpServer(station);
}

// The window may go while an upgrade runs (the application is told to quit).
// The boot endpoint is closed last and keeps posting requests until then:
// the station's event queue must outlive it. (A fault here shows as a
// race or a use after free under the sanitizers.)
TEST(FirmwareServicesTest, BootRequestsDuringAnUpgradeMayArriveWhileTheStationGoes) {
    TempFolder folder;
    LoopbackClient bootReceiver(0);
    const StationNetwork network = LoopbackNetwork(0, bootReceiver.Port());
    QuietView view;
    for (int round = 0; round < 5; ++round) {
        auto station = std::make_unique<Station>(view, folder.Dir(), network);
        station->SetUpdateFile(folder.File("unit.bin"));
        station->SetLocalAddresses({{"127.0.0.1"}, {"255.0.0.0"}});
        DeviceRow row;
        row[kColChoice] = kCheckMark;
        row[kColIP] = "127.0.0.9";
        row[kColMask] = "255.0.0.0";
        station->m_DeviceList.AppendRow(row);
        StartTftpServer(*station);
        StartBootEndpoint(*station);
        station->m_bUpgrading = 1;

        LoopbackClient device(SocketLocalPort(station->m_BootEndpoint.socket));
        Bytes request(kBootPacketSize, 0);
        request[0] = 1;
        device.SendToServer(request);
        ASSERT_TRUE(LoopHandlesPostedEvents(*station));
        ASSERT_TRUE(bootReceiver.Receive()) << "answered during the run";
        std::atomic<bool> sending{true};
        std::thread loader([&] {
            while (sending.load()) device.SendToServer(request);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        station.reset();
        sending.store(false);
        loader.join();
        while (bootReceiver.Receive(0)) {
        }
    }
}

// The system asks the tool to end (a stop signal) while a device fetches its
// firmware during an upgrade run: nothing is refused, every service stops, the
// transfer in flight ends, and the log's last word is "stopped".
TEST(FirmwareServicesTest, TheSystemsCloseStopsEveryServiceEvenDuringAnUpgradeAndLogsIt) {
    TempFolder folder;
    std::filesystem::create_directories(folder.File("log"));
    LoopbackClient bootReceiver(0);
    QuietView view;
    Station station(view, folder.Dir(), LoopbackNetwork(0, bootReceiver.Port()));
    const std::string firmware = folder.Write("unit.bin", Pattern(200000));
    station.SetUpdateFile(firmware);
    StartTftpServer(station);
    StartBootEndpoint(station);
    StartDeviceEndpoint(station);
    StartCommandLoop(station);
    station.m_bUpgrading = 1;
    station.m_bUpgradeContinue = 1;

    LoopbackClient device(station.m_pTftpServer->ListenPort());
    device.SendToServer(Request(kTftpReadRequest, firmware));
    const auto first = device.Receive();
    ASSERT_TRUE(first && first->Opcode() == kTftpData) << "the transfer runs";
    station.CloseForSystem();

    EXPECT_EQ(station.m_pTftpServer->ThreadCount(), 0u);
    EXPECT_EQ(station.m_BootEndpoint.socket, kInvalidSocket);
    EXPECT_EQ(station.m_DeviceEndpoint.socket, kInvalidSocket);
    EXPECT_FALSE(station.m_hLoopThread.Joinable());
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("log")))
        log += folder.ReadText(folder.LogFile(entry.path().filename().string()));
    const std::string lastWord = "] stopped\n";
    ASSERT_GE(log.size(), lastWord.size());
    EXPECT_EQ(log.substr(log.size() - lastWord.size()), lastWord) << log;
}

}  // namespace
