// Changing device addresses end to end: a station with real ports in the lab's
// workstation namespace, devsim playing the fleet in the devices namespace.
// What each device received is read from the simulator's own log. Run by
// tests/e2e/change_addresses.sh, never on the machine's own network.
//
// Environment:
//   CHANGE_FLEET  the fleet file devsim plays (number= ip= mask= on every line,
//                 result=short|full, faults=ignore-change for silent devices)
//   DEVSIM_LOG    devsim's event log

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "model/control_ids.h"
#include "runs/address_change_plan.h"
#include "station/station.h"
#include "support/ipv4.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"

using namespace quillane;
using namespace std::chrono_literals;
using quillane::test::RecordingView;

namespace {

struct FleetDevice {
    int32_t number = 0;
    std::string ip, mask;
    bool shortResult = false;
    bool ignoresChanges = false;
};

std::map<std::string, std::string> Words(const std::string& line) {
    std::map<std::string, std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos) words[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return words;
}

const std::map<int32_t, FleetDevice>& Fleet() {
    static const std::map<int32_t, FleetDevice> fleet = [] {
        std::map<int32_t, FleetDevice> devices;
        const char* path = std::getenv("CHANGE_FLEET");
        std::ifstream file(path ? path : "");
        std::string line;
        while (std::getline(file, line)) {
            auto words = Words(line);
            if (!words.count("number")) continue;
            FleetDevice d;
            d.number = static_cast<int32_t>(std::stol(words["number"]));
            d.ip = words["ip"];
            d.mask = words["mask"];
            d.shortResult = words["result"] == "short";
            d.ignoresChanges = words["faults"] == "ignore-change";
            devices[d.number] = d;
        }
        return devices;
    }();
    return fleet;
}

// One field of a devsim log line ({"key":value,...}); "" when absent.
std::string LogField(const std::string& line, const std::string& key) {
    const std::string tag = "\"" + key + "\":";
    const size_t at = line.find(tag);
    if (at == std::string::npos) return {};
    size_t start = at + tag.size();
    if (line[start] == '"') return line.substr(start + 1, line.find('"', start + 1) - start - 1);
    return line.substr(start, line.find_first_of(",}", start) - start);
}

// The address-change commands devsim received, per device, from line `from` on.
std::map<int32_t, std::vector<std::string>> ChangesReceived(size_t from = 0) {
    const char* path = std::getenv("DEVSIM_LOG");
    std::ifstream log(path ? path : "");
    std::map<int32_t, std::vector<std::string>> changes;
    std::string line;
    for (size_t n = 0; std::getline(log, line); ++n) {
        if (n < from || LogField(line, "dir") != "in") continue;
        if (LogField(line, "kind").rfind("change-", 0) != 0 || LogField(line, "dev").empty()) continue;
        changes[std::stoi(LogField(line, "dev"))].push_back(line);
    }
    return changes;
}

size_t LogLines() {
    const char* path = std::getenv("DEVSIM_LOG");
    std::ifstream log(path ? path : "");
    size_t n = 0;
    for (std::string line; std::getline(log, line);) ++n;
    return n;
}

// Presses Stop when the batch marks its `stopAt`-th row.
class StopPresser : public DeviceTableObserver {
public:
    StopPresser(Station& station, int stopAt) : m_station(station), m_stopAt(stopAt) {}
    void RowsCleared() override {}
    void RowAppended(int, const DeviceRow&) override {}
    void RowsReordered(const std::vector<DeviceRow>&) override {}
    void CellChanged(int, int column, const std::string& text) override {
        if (column == kColState && text == "修改..." && ++m_marked == m_stopAt) m_station.OnModifyIP();
    }

private:
    Station& m_station;
    int m_stopAt;
    int m_marked = 0;
};

class ChangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Fleet().empty()) << "CHANGE_FLEET names no fleet";
        station = std::make_unique<Station>(view, dir.Dir());
        station->Initialise();
        station->m_nLanguage = 2;
        view.findType = 0;
    }
    void TearDown() override {
        if (station) station->Close();
        station.reset();
    }

    void FindAll() {
        station->OnFind();
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (station->m_DeviceList.RowCount() < static_cast<int>(Fleet().size()) &&
               std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(500ms);
        ASSERT_EQ(station->m_DeviceList.RowCount(), static_cast<int>(Fleet().size()));
    }
    const FleetDevice& DeviceOf(int row) {
        return Fleet().at(ReadDecimal(station->m_DeviceList.Cell(row, kColDeviceNo)));
    }
    // Waits until the batch is over and no row awaits a result any more.
    void WaitForResults() {
        const auto end = std::chrono::steady_clock::now() + 20s;
        auto waiting = [&] {
            if (station->m_bModifyRequest.load() != 0) return true;
            for (int row = 0; row < station->m_DeviceList.RowCount(); ++row) {
                if (station->m_DeviceList.Cell(row, kColMarker) == "1") return true;
            }
            return false;
        };
        while (waiting() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
        ASSERT_FALSE(waiting());
        std::this_thread::sleep_for(300ms);  // devsim writes its log every 100 ms
    }

    RecordingView view;  // answers the IP settings dialog with ipSettingsAnswer
    test::TempFolder dir;
    std::unique_ptr<Station> station;
};

std::string Next(const std::string& dotted) {
    IPv4Address a = IPv4Address::Parse(dotted);
    if (a.Octet(3) < 249) return IPv4Address(a.Number() + 1).ToString();
    return IPv4Address::FromOctets(a.Octet(0), a.Octet(1), a.Octet(2) + 1, 1).ToString();
}

}  // namespace

// Automatic increase over the chosen devices, across a block boundary: each
// chosen device receives exactly one command of the right form and values, the
// others none; results come as short and full forms, or not at all.
TEST_F(ChangeTest, ChosenDevicesTakeConsecutiveAddressesAndShowTheirResults) {
    FindAll();
    const int rows = station->m_DeviceList.RowCount();
    // Devices outside the workstation's /16 use the group form; one shares its
    // low 16 bits with another listed device and so must get nothing.
    std::set<int32_t> chosen;
    for (int row = 0; row < rows; ++row) {
        const FleetDevice& d = DeviceOf(row);
        if (d.number % 4 != 3) {
            station->OnTableClick(row);
            chosen.insert(d.number);
        }
    }
    ASSERT_GE(chosen.size(), 140u);
    // Expected new addresses, in table order, skipping the refused device.
    std::map<int32_t, std::string> expected;
    std::string next = "10.77.20.245";
    for (int row = 0; row < rows; ++row) {
        const FleetDevice& d = DeviceOf(row);
        if (!chosen.count(d.number) || d.number == 68536) continue;
        expected[d.number] = next;
        next = Next(next);
    }
    const size_t logFrom = LogLines();

    IpSettingsValues entered;
    entered.ip = IPv4Address::Parse("10.77.20.245").Number();
    entered.gateway = IPv4Address::Parse("10.77.0.253").Number();
    entered.maskCheck = entered.serverCheck = entered.backupServerCheck = 0;
    entered.editType = kEditIncrease;
    view.ipSettingsAnswer = entered;
    station->OnModifyIP();
    ASSERT_EQ(station->m_bModifyRequest, 1);

    // Silent devices are failed 4 s after the last result, not earlier.
    const auto pressed = std::chrono::steady_clock::now();
    while (station->m_bModifyRequest.load() != 0 && std::chrono::steady_clock::now() - pressed < 10s) {
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(3s);
    for (int row = 0; row < rows; ++row) {
        if (DeviceOf(row).ignoresChanges && chosen.count(DeviceOf(row).number)) {
            EXPECT_EQ(station->m_DeviceList.Cell(row, kColState), "修改...") << DeviceOf(row).number;
        }
    }
    WaitForResults();
    EXPECT_EQ(view.Caption(kIdModifyIP), "Edit IP");
    EXPECT_EQ(station->m_DeviceList.m_bSortEnabled, 1);

    const auto received = ChangesReceived(logFrom);
    int successes = 0;
    for (int row = 0; row < rows; ++row) {
        const FleetDevice& d = DeviceOf(row);
        const DeviceRow cells = station->m_DeviceList.Row(row);
        SCOPED_TRACE("device " + std::to_string(d.number));
        const auto got = received.find(d.number);
        if (!chosen.count(d.number)) {
            EXPECT_EQ(got, received.end()) << "not chosen, yet it received a command";
            EXPECT_EQ(cells[kColState], "");
            continue;
        }
        if (d.number == 68536) {
            EXPECT_EQ(got, received.end()) << "the group form would have reached device 3000 too";
            EXPECT_EQ(cells[kColState], "Failure");
            continue;
        }
        ASSERT_NE(got, received.end()) << "chosen, but no command arrived";
        ASSERT_EQ(got->second.size(), 1u) << got->second.back();
        const std::string& line = got->second[0];
        const bool outside = d.ip.rfind("10.78.", 0) == 0;
        EXPECT_EQ(LogField(line, "kind"), outside ? "change-group" : "change-direct");
        EXPECT_EQ(LogField(line, "to"), outside ? "224.0.2.0" : d.ip);
        EXPECT_EQ(LogField(line, "present"), d.ip);
        EXPECT_EQ(LogField(line, "new_ip"), expected.at(d.number));
        EXPECT_EQ(LogField(line, "new_mask"), d.mask);
        EXPECT_EQ(LogField(line, "new_gateway"), "10.77.0.253");
        EXPECT_EQ(LogField(line, "new_server"), "10.77.0.1");
        EXPECT_EQ(LogField(line, "checksum_ok"), "true");
        EXPECT_EQ(cells[kColState], d.ignoresChanges ? "Failure" : "Success");
        // Only the full result carries the settings now in force.
        const bool showsNew = !d.ignoresChanges && !d.shortResult;
        EXPECT_EQ(cells[kColIP], showsNew ? expected.at(d.number) : d.ip);
        successes += cells[kColState] == "Success";
    }
    EXPECT_GE(successes, 130);

    // The next search lists every device that took its address with it.
    FindAll();
    for (int row = 0; row < station->m_DeviceList.RowCount(); ++row) {
        const FleetDevice& d = DeviceOf(row);
        const bool took = expected.count(d.number) && !d.ignoresChanges;
        EXPECT_EQ(station->m_DeviceList.Cell(row, kColIP), took ? expected.at(d.number) : d.ip) << d.number;
    }
}

// Stop, pressed while the batch runs, ends it between two rows.
TEST_F(ChangeTest, StopPressEndsTheBatchEarly) {
    FindAll();
    station->OnSelectAll();
    for (int row = 0; row < station->m_DeviceList.RowCount(); ++row) {
        if (DeviceOf(row).number == 68536) station->OnTableClick(row);  // refused anyway: leave it out
    }
    const size_t logFrom = LogLines();
    IpSettingsValues entered;
    entered.ip = IPv4Address::Parse("10.77.40.1").Number();
    entered.maskCheck = entered.gatewayCheck = entered.serverCheck = entered.backupServerCheck = 0;
    view.ipSettingsAnswer = entered;
    StopPresser stop(*station, 30);
    station->m_DeviceList.SetObserver(&stop);
    station->OnModifyIP();
    WaitForResults();
    station->m_DeviceList.SetObserver(nullptr);

    size_t commands = 0;
    for (const auto& [number, lines] : ChangesReceived(logFrom)) commands += lines.size();
    EXPECT_EQ(commands, 30u);
    int untouched = 0;
    for (int row = 0; row < station->m_DeviceList.RowCount(); ++row) {
        untouched += station->m_DeviceList.Cell(row, kColState).empty();
    }
    EXPECT_EQ(untouched, station->m_DeviceList.RowCount() - 30) << "rows not reached keep their State";
    EXPECT_EQ(view.Caption(kIdModifyIP), "Edit IP");
}
