#pragma once

// A station ready for upgrade runs with loopback devices (loopback_devices.h).
// The workstation's subnet is 127.0.0.0/24; a device on 127.0.1.x lies outside
// it and yet nothing sent to it could leave the machine. Manual tick clock;
// no service thread runs.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/tftp_server.h"
#include "runs/command_loop.h"
#include "runs/upgrade_run.h"
#include "runs/upgrade_step.h"
#include "station/station.h"
#include "support/tick_clock.h"
#include "testing/loopback_devices.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"
#include "testing/wine.h"

namespace quillane::test {

struct TableDevice {
    std::string ip;
    std::string mask = "255.255.255.0";
    bool chosen = true;
};

class UpgradeRunFixture : public ::testing::Test {
protected:
    // Devices 127.0.0.2, .3, .4 in the subnet, 127.0.1.5 outside it.
    UpgradeRunFixture()
        : devices({"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.1.5"}),
          station(view, folder.Dir(), Network()) {}
    ~UpgradeRunFixture() override { TickClock::UseReal(); }

    void SetUp() override {
        if (RunsUnderWine()) GTEST_SKIP() << "under wine: devices on 127.0.0.2 and up cannot bind";
        TickClock::UseManual(50000);
        station.m_nLanguage = 2;
        station.m_queryLocalAddresses = [] { return LocalAddressLists{{"127.0.0.1"}, {"255.255.255.0"}}; };
        station.RefreshLocalAddresses();
        // The endpoint's socket only: commands leave from it.
        ASSERT_EQ(UdpEndpointOpen(station.m_DeviceEndpoint, 0, nullptr, nullptr), 1);
        station.m_DeviceLink.SetCommandPort(devices.Port());
        // The boot socket and a TFTP server on ports of their own: the Upgrade
        // button checks that both listen before anything is sent.
        ASSERT_EQ(UdpEndpointOpen(station.m_BootEndpoint, 0, nullptr, nullptr), 1);
        station.m_pTftpServer = std::make_unique<TftpServer>();
        TftpServerSettings tftp;
        tftp.listenPort = 0;
        tftp.listenAddress = htonl(INADDR_LOOPBACK);
        tftp.executablePath = folder.File("quillane");
        ASSERT_TRUE(station.m_pTftpServer->Start(tftp));
        station.m_bLoopRun = 1;
        station.SetRunObserver(&m_runEnds);
        // The neighbour table of the test: the devices' hardware addresses it knows, at once.
        station.m_learnHardwareAddress = [this](IPv4Address device) -> std::optional<HardwareAddress> {
            const auto known = neighbours.find(device.ToString());
            if (known == neighbours.end()) return std::nullopt;
            return known->second;
        };
    }
    void TearDown() override { station.SetRunObserver(nullptr); }
    // Upgrade runs the station told of as ended.
    int RunsEnded() const { return m_runEnds.upgrades.load(); }

    StationNetwork Network() const {
        StationNetwork network;
        network.startServices = false;
        network.commandPort = devices.Port();
        network.bootServerPort = 0;
        // Boot replies stay on loopback: to 127.0.0.1, where no device listens.
        network.bootReplyAddress = 0x7F000001;
        network.bootClientPort = devices.Port();
        network.tftpPort = 0;
        return network;
    }
    std::string WriteFirmware(const std::string& name = "unit.bin") {
        return folder.Write(name, std::string(700, 'x'));
    }

    void AddRows(const std::vector<TableDevice>& rows) {
        for (const TableDevice& d : rows) {
            DeviceRow cells;
            cells[kColChoice] = d.chosen ? kCheckMark : "";
            cells[kColIP] = d.ip;
            cells[kColMask] = d.mask;
            cells[kColDeviceNo] = std::to_string(station.m_DeviceList.RowCount() + 1);
            station.m_DeviceList.AppendRow(cells);
        }
    }
    std::string State(int row) const { return station.m_DeviceList.Cell(row, kColState); }
    int CurrentRow() const { return station.m_nUpgradeRow.load(); }
    // The command loop's turn: the events posted so far (a run's start, boot
    // requests, transfer reports) are handled on the test thread.
    size_t Loop() { return HandleLoopEvents(station); }
    // A run on `row`, as its start leaves it (no command sent).
    void RunningOn(int row) {
        station.m_DeviceList.SetRowState(row, RowState::Upgrading(), "Upgrade...");
        station.m_bUpgrading = 1;
        station.m_bUpgradeContinue = 1;
        station.m_DeviceList.m_bSortEnabled = 0;
        station.m_upgradeRun = MakeUpgradeRun(station, row, 1, 0);
        UpgradeRun& run = *station.m_upgradeRun;
        for (size_t device : run.Slots().StartDevices(TickClock::Now())) {
            run.Slots().HardwareAddressLearned(device, std::nullopt);
            run.SetPhase(device, UpgradePhase::kCommandSent);
            run.WalkPast(run.Row(device));
        }
        PublishUpgradeSlot(station);
    }
    bool RunEnded() const {
        return station.m_bUpgrading.load() == 0 && station.m_bUpgradeContinue.load() == 0;
    }

    struct RunEnds : RunObserver {
        void RunEnded(RunKind kind) override {
            if (kind == RunKind::kUpgrade) ++upgrades;
        }
        std::atomic<int> upgrades{0};
    };

    RunEnds m_runEnds;
    std::map<std::string, HardwareAddress> neighbours;  // device address -> hardware address
    TempFolder folder;
    LoopbackDevices devices;
    RecordingView view;
    Station station;
};

}  // namespace quillane::test
