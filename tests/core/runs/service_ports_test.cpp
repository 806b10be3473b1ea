#include "runs/service_ports.h"

#include <gtest/gtest.h>

#include "station/station.h"
#include "testing/loopback_network.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"
#include "testing/wine.h"

namespace quillane {
namespace {

class ServicePortsTest : public ::testing::Test {
protected:
    std::unique_ptr<Station> Start(StationNetwork network) {
        network.startServices = true;
        auto station = std::make_unique<Station>(view, folder.Dir(), network);
        station->Initialise();
        return station;
    }
    test::RecordingView view;
    test::TempFolder folder;
};

TEST_F(ServicePortsTest, ServicesOnTheirPortsLackNothing) {
    auto station = Start(test::LoopbackNetwork());
    EXPECT_EQ(FirstServiceWithoutPort(*station), std::nullopt);
    EXPECT_EQ(CheckServicePort(*station, StationService::kTftpServer).why, BindFailure::None);
}

// The first service without its port is named with the system's reason; the
// firmware services count only for a station that runs them.
TEST_F(ServicePortsTest, ATakenPortIsNamedWithItsReason) {
    if (test::RunsUnderWine()) GTEST_SKIP() << "under wine a second bind may share the port";
    const SocketHandle holder = UdpSocketCreate();
    ASSERT_TRUE(SocketBind(holder, 0, 0));
    const uint16_t taken = SocketLocalPort(holder);

    StationNetwork network = test::LoopbackNetwork();
    network.tftpPort = taken;
    auto station = Start(network);
    const std::optional<ServicePort> lacking = FirstServiceWithoutPort(*station);
    ASSERT_TRUE(lacking);
    EXPECT_EQ(lacking->service, StationService::kTftpServer);
    EXPECT_EQ(lacking->port, taken);
    EXPECT_EQ(lacking->why, BindFailure::InUse);
    EXPECT_EQ(DescribePortFailure(lacking->why, 2), "is already used by another program");
    station.reset();

    network.firmwareServices = false;
    EXPECT_EQ(FirstServiceWithoutPort(*Start(network)), std::nullopt);
    SocketClose(holder);
}

}  // namespace
}  // namespace quillane
