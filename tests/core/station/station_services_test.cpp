#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/tftp_server.h"
#include "station/station.h"
#include "support/bounded_thread.h"
#include "testing/loopback_devices.h"
#include "testing/loopback_network.h"
#include "testing/paced_fetcher.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"

using namespace quillane;
using namespace quillane::test;
using namespace std::chrono_literals;

namespace {

// The application may end while an upgrade run goes on (the window refuses
// to close, but the process is told to quit): transfers are in flight, their
// callbacks want the list lock, and a range walk on the command loop holds it.
// Every worker must be gone when the station is, within the bounds, without
// touching what is freed. (Faults show as races or uses after free under the
// sanitizers, or as a missed bound.)
TEST(StationServicesTest, TheStationMayGoMidRunWithTransfersInFlight) {
    std::vector<std::string> missed;
    BoundedThread::SetMissedBoundHandler([&](const std::string& name) { missed.push_back(name); });
    TempFolder folder;
    LoopbackDevices devices({"127.0.0.2", "127.0.0.3", "127.0.0.4"});
    RecordingView view;
    StationNetwork network = LoopbackNetwork(devices.Port());
    network.startServices = true;
    auto station = std::make_unique<Station>(view, folder.Dir(), network);
    station->m_queryLocalAddresses = [] { return LocalAddressLists{{"127.0.0.1"}, {"255.0.0.0"}}; };
    station->Initialise();
    const std::string firmware = folder.Write("unit.bin", std::string(300 * 512, 'f'));
    station->SetUpdateFile(firmware);
    for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        DeviceRow row;
        row[kColChoice] = kCheckMark;
        row[kColIP] = address;
        row[kColMask] = "255.0.0.0";
        station->m_DeviceList.AppendRow(row);
    }
    station->OnUpgrade();
    ASSERT_EQ(station->m_bUpgrading.load(), 1);
    const uint16_t tftpPort = station->m_pTftpServer->ListenPort();
    std::vector<std::unique_ptr<PacedFetcher>> fetchers;
    for (const char* address : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        fetchers.push_back(std::make_unique<PacedFetcher>(address, tftpPort, firmware, 5ms));
    for (int i = 0; i < 400 && fetchers.back()->BlocksReceived() < 3; ++i) std::this_thread::sleep_for(5ms);
    ASSERT_GE(fetchers.back()->BlocksReceived(), 3u) << "transfers in flight";

    view.findType = 1;  // a walk over 65536 addresses: half a minute with the list lock held
    view.rangeStart = 0x7F010000;
    view.rangeEnd = 0x7F01FFFF;
    station->RequestSearch(view.Search());
    station->m_hLoopEvent.Set();
    std::this_thread::sleep_for(100ms);

    const auto start = std::chrono::steady_clock::now();
    station.reset();
    const auto took = std::chrono::steady_clock::now() - start;
    fetchers.clear();
    BoundedThread::SetMissedBoundHandler(nullptr);
    EXPECT_TRUE(missed.empty()) << missed.front();
    EXPECT_LT(took, 3s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}

}  // namespace
