// Finding devices end to end: a station with real ports in the lab's
// workstation namespace, devsim playing the fleet in the devices namespace.
// Run by tests/e2e/find_*.sh, never on the machine's own network.
//
// Environment:
//   FIND_FLEET   the fleet file devsim plays (number= ip= type= version= mask=
//                gateway= server= standby= on every line)

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "model/settings.h"
#include "model/texts.h"
#include "station/station.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"

using namespace quillane;
using namespace std::chrono_literals;

namespace {

struct FleetDevice {
    int32_t number = 0;
    std::optional<int32_t> type;
    std::map<std::string, std::string> words;
    uint32_t ip = 0;  // number form
};

uint32_t NumberForm(const std::string& dotted) {
    return ntohl(ParseIPv4(dotted));
}

std::vector<FleetDevice> LoadFleet() {
    const char* path = std::getenv("FIND_FLEET");
    if (!path) return {};
    std::vector<FleetDevice> fleet;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        FleetDevice device;
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            const size_t eq = word.find('=');
            if (eq != std::string::npos) device.words[word.substr(0, eq)] = word.substr(eq + 1);
        }
        device.number = static_cast<int32_t>(std::stol(device.words.at("number")));
        if (device.words.at("type") != "none")
            device.type = static_cast<int32_t>(std::stol(device.words.at("type")));
        device.ip = NumberForm(device.words.at("ip"));
        fleet.push_back(device);
    }
    return fleet;
}

const std::vector<FleetDevice>& Fleet() {
    static const std::vector<FleetDevice> fleet = LoadFleet();
    return fleet;
}

// The row a device must get (row number and marker aside), in English.
DeviceRow ExpectedRow(const FleetDevice& d) {
    DeviceRow row;
    row[kColVersion] = d.words.at("version");
    row[kColIP] = d.words.at("ip");
    row[kColMask] = d.words.at("mask");
    row[kColGateway] = d.words.at("gateway");
    row[kColServer] = d.words.at("server");
    row[kColStandbyServer] = d.words.at("standby");
    row[kColType] = d.type ? DeviceTypeName(*d.type, 2) : Texts(2).unknownDevice;
    row[kColDeviceNo] = std::to_string(d.number);
    row[kColMarker] = "0";
    return row;
}

class FindTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Fleet().empty()) << "FIND_FLEET names no fleet";
        station = std::make_unique<Station>(view, dir.Dir());
        station->Initialise();
        station->m_nLanguage = 2;
    }
    void TearDown() override {
        if (station) station->Close();
        station.reset();
    }

    void Find() {
        station->OnFind();
        ASSERT_TRUE(view.Messages().empty()) << view.Messages().front().text;
    }

    // Waits until `count` rows are listed, then a while longer for extras.
    void WaitForRows(int count, std::chrono::milliseconds limit = 20s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (station->m_DeviceList.RowCount() < count && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(1500ms);  // late copies of replies must not add rows
    }

    // Every listed row against the fleet: each expected device exactly once, all columns right.
    void ExpectListed(const std::vector<const FleetDevice*>& expected) {
        const DeviceTable& table = station->m_DeviceList;
        EXPECT_EQ(table.RowCount(), static_cast<int>(expected.size()));
        std::map<std::string, const FleetDevice*> byNumber;
        for (const FleetDevice* d : expected) byNumber[std::to_string(d->number)] = d;
        int wrong = 0;
        for (int r = 0; r < table.RowCount(); ++r) {
            DeviceRow row = table.Row(r);
            EXPECT_EQ(row[kColNo], std::to_string(r + 1));
            const auto it = byNumber.find(row[kColDeviceNo]);
            if (it == byNumber.end()) {
                ADD_FAILURE() << "unexpected or repeated device " << row[kColDeviceNo];
            } else {
                row[kColNo] = "";
                if (row != ExpectedRow(*it->second) && ++wrong <= 5) {
                    EXPECT_EQ(row, ExpectedRow(*it->second));
                }
                byNumber.erase(it);
            }
        }
        EXPECT_EQ(wrong, 0) << "rows with a wrong column";
        std::string missing;
        for (const auto& [number, device] : byNumber) missing += " " + number;
        EXPECT_TRUE(byNumber.empty()) << byNumber.size() << " devices not listed:" << missing.substr(0, 200);
    }

    test::RecordingView view;
    test::TempFolder dir;
    std::unique_ptr<Station> station;
};

// OutDatagrams of the namespace's UDP counters (/proc/net/snmp).
uint64_t UdpDatagramsSent() {
    std::ifstream snmp("/proc/net/snmp");
    std::string header, values;
    while (std::getline(snmp, header) && std::getline(snmp, values)) {
        if (header.rfind("Udp:", 0) != 0) continue;
        std::istringstream names(header), numbers(values);
        std::string name, number;
        while (names >> name && numbers >> number) {
            if (name == "OutDatagrams") return std::stoull(number);
        }
    }
    return 0;
}

std::vector<const FleetDevice*> Select(const std::function<bool(const FleetDevice&)>& keep) {
    std::vector<const FleetDevice*> selected;
    for (const FleetDevice& d : Fleet()) {
        if (keep(d)) selected.push_back(&d);
    }
    return selected;
}

}  // namespace

TEST_F(FindTest, AutomaticSearchListsEveryDeviceOnceWithEveryColumn) {
    view.findType = 0;
    Find();
    WaitForRows(static_cast<int>(Fleet().size()));
    ExpectListed(Select([](const FleetDevice&) { return true; }));
}

TEST_F(FindTest, AnUntickedTypeIsNotListed) {
    station->m_bPlayDev = 0;            // 6401
    station->m_bSenseInterfaceDev = 0;  // 7118
    auto listed = [](const FleetDevice& d) { return !d.type || (*d.type != 6401 && *d.type != 7118); };
    const auto expected = Select(listed);
    ASSERT_LT(expected.size(), Fleet().size()) << "the fleet has devices of the unticked types";
    view.findType = 0;
    Find();
    WaitForRows(static_cast<int>(expected.size()));
    ExpectListed(expected);
}

TEST_F(FindTest, RangeSearchListsOnlyDevicesInRangeAndStoresTheRange) {
    std::vector<uint32_t> addresses;
    for (const FleetDevice& d : Fleet()) addresses.push_back(d.ip);
    std::sort(addresses.begin(), addresses.end());
    const uint32_t start = addresses[addresses.size() / 3];
    const uint32_t end = addresses[addresses.size() * 2 / 3];
    const auto expected = Select([&](const FleetDevice& d) { return d.ip >= start && d.ip <= end; });

    view.findType = 1;
    view.rangeStart = start;
    view.rangeEnd = end;
    Find();
    WaitForRows(static_cast<int>(expected.size()));
    ExpectListed(expected);
    const MainSettings stored = LoadOrCreateMainSettings(station->m_strAppDir);
    EXPECT_EQ(stored.startIP, start);
    EXPECT_EQ(stored.endIP, end);
}

TEST_F(FindTest, ClosingDuringALongRangeWalkEndsItWithinTheBoundedWait) {
    const uint32_t first = Fleet().front().ip & 0xFFFF0000;
    view.findType = 1;
    view.rangeStart = first;
    view.rangeEnd = first + 0xFFFF;  // 65536 addresses: more than half a minute of probing
    Find();
    std::this_thread::sleep_for(700ms);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(station->Close());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(station->m_hLoopThread.Joinable());
    // The loop thread ended by itself: Close gives up on it only after 2000 ms.
    EXPECT_LT(took, 2000ms) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    // And the walk is over: nothing leaves the workstation any more.
    const uint64_t sent = UdpDatagramsSent();
    EXPECT_GT(sent, 1000u) << "the walk was running";
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(UdpDatagramsSent(), sent);
}
