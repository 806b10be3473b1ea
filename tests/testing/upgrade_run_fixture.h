#pragma once

// A station ready for upgrade runs on 127.0.0.0/8 only: devices are sockets
// bound to loopback addresses of their own, all on one command port, so each
// one sees exactly the commands sent to its address. The workstation's subnet
// is 127.0.0.0/24; a device on 127.0.1.x lies outside it and yet nothing sent
// to it could leave the machine. Manual tick clock; no service thread runs.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devicelink/protocol.h"
#include "firmware/tftp_server.h"
#include "mainwindow/station.h"
#include "support/tick_clock.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"

namespace quillane::test {

// Sockets standing for devices at the given loopback addresses, one port.
class LoopbackDevices {
public:
    explicit LoopbackDevices(const std::vector<std::string>& addresses) {
        uint16_t port = 0;
        for (const std::string& address : addresses) {
            const SocketHandle socket = UdpSocketCreate();
            EXPECT_TRUE(SocketBind(socket, ParseIPv4(address), port)) << address;
            port = SocketLocalPort(socket);
            m_sockets.push_back(socket);
        }
        m_port = port;
    }
    ~LoopbackDevices() {
        for (SocketHandle socket : m_sockets) SocketClose(socket);
    }
    LoopbackDevices(const LoopbackDevices&) = delete;
    LoopbackDevices& operator=(const LoopbackDevices&) = delete;

    uint16_t Port() const { return m_port; }
    // What the device `index` received until `waitMs` passed without a datagram.
    std::vector<Datagram> Received(size_t index, int waitMs = 30) {
        std::vector<Datagram> all;
        uint8_t buffer[2048];
        while (SocketWaitReadable(m_sockets[index], waitMs) == 1) {
            const int n = SocketReceiveFrom(m_sockets[index], buffer, sizeof buffer, nullptr);
            if (n > 0) all.emplace_back(buffer, buffer + n);
        }
        return all;
    }

private:
    std::vector<SocketHandle> m_sockets;
    uint16_t m_port = 0;
};

inline const std::vector<Datagram> kThreeUpgradeCommands(3, BuildUpgradeCommand());

struct TableDevice {
    std::string ip;
    std::string mask = "255.255.255.0";
    bool chosen = true;
};

class UpgradeRunFixture : public ::testing::Test {
protected:
    // Devices 127.0.0.2, .3, .4 in the subnet, 127.0.1.5 outside it.
    UpgradeRunFixture()
        : devices({"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.1.5"}), station(view, folder.Dir(), Network()) {}
    ~UpgradeRunFixture() override { TickClock::UseReal(); }

    void SetUp() override {
        TickClock::UseManual(50000);
        station.m_nLanguage = 2;
        station.m_queryLocalAddresses = [] { return LocalAddressLists{{"127.0.0.1"}, {"255.255.255.0"}}; };
        station.RefreshLocalAddresses();
        // The endpoint's socket only: commands leave from it.
        ASSERT_EQ(UdpEndpointOpen(station.m_DeviceEndpoint, 0, nullptr, nullptr), 1);
        station.m_DestAddr.SetPort(devices.Port());
        station.m_pTftpServer = std::make_unique<TftpServer>();  // holds the current row; not started
        station.m_bLoopRun = 1;
    }

    StationNetwork Network() const {
        StationNetwork network;
        network.startServices = false;
        network.commandPort = devices.Port();
        return network;
    }
    std::string WriteFirmware(const std::string& name = "unit.bin") { return folder.Write(name, std::string(700, 'x')); }

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
    int CurrentRow() const { return station.m_pTftpServer->currentRow.load(); }
    // A run on `row`, as the Upgrade action leaves it.
    void RunningOn(int row) {
        station.m_pTftpServer->currentRow = row;
        station.m_DeviceList.SetCell(row, kColState, "Upgrade...");
        station.m_dwUpgradeTick = TickClock::Now();
        station.m_bUpgrading = 1;
        station.m_bUpgradeContinue = 1;
        station.m_DeviceList.m_bSortEnabled = 0;
    }
    bool RunEnded() const { return station.m_bUpgrading.load() == 0 && station.m_bUpgradeContinue.load() == 0; }

    TempFolder folder;
    LoopbackDevices devices;
    RecordingView view;
    Station station;
};

}  // namespace quillane::test
