// Upgrade runs end to end: a headless station with the real ports in the
// lab's workstation namespace finds the simulated fleet, and the operator's
// presses of Upgrade drive a run over the chosen devices. Run by
// tests/e2e/upgrade_run.sh (and bench/upgrade_bench.sh), never on the
// machine's own network.
//
// Environment:
//   UPGRADE_FLEET        the fleet file devsim plays; each device's words say
//                        what it must end with: faults=no-boot or abort-after
//                        fail, mask=255.255.255.0 lies outside the
//                        workstation's subnet (10.77.0.1/16), the rest succeed
//   UPGRADE_FIRMWARE     the image to serve
//   UPGRADE_NEW_VERSION  the version devices report after an upgrade
//   UPGRADE_LANGUAGE     1 or 2 (default 2)
//   UPGRADE_TIMING       if set, the run's timing is appended there as JSON

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "model/control_ids.h"
#include "model/null_station_view.h"
#include "model/texts.h"
#include "station/station.h"

using namespace quillane;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct FleetDevice {
    std::string number, ip, version;
    bool fails = false;       // never delivers its image
    bool silent = false;      // never even asks for it
    bool offSegment = false;  // outside the workstation's subnet
};

std::string Env(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

std::vector<FleetDevice> LoadFleet() {
    std::vector<FleetDevice> fleet;
    std::ifstream file(Env("UPGRADE_FLEET"));
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::map<std::string, std::string> words;
        std::istringstream in(line);
        std::string word;
        while (in >> word)
            if (const size_t eq = word.find('='); eq != std::string::npos)
                words[word.substr(0, eq)] = word.substr(eq + 1);
        FleetDevice device{words["number"], words["ip"], words["version"]};
        const std::string& faults = words["faults"];
        device.silent = faults.find("no-boot") != std::string::npos;
        device.fails = device.silent || faults.find("abort-after") != std::string::npos;
        device.offSegment = words["mask"] == "255.255.255.0";
        fleet.push_back(device);
    }
    return fleet;
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The window: records what the station shows, from any thread.
class View : public NullStationView {
public:
    void EnableControl(int id, bool enabled) override {
        std::lock_guard lock(m_mutex);
        m_enabled[id] = enabled;
    }
    void SetCaption(int id, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_captions[id] = text;
    }
    void SetProgress(int percent) override {
        std::lock_guard lock(m_mutex);
        if (m_progress.empty() || m_progress.back() != percent) m_progress.push_back(percent);
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(caption + ": " + text);
    }

    bool Enabled(int id) const {
        std::lock_guard lock(m_mutex);
        return !m_enabled.count(id) || m_enabled.at(id);
    }
    std::string Caption(int id) const {
        std::lock_guard lock(m_mutex);
        return m_captions.count(id) ? m_captions.at(id) : "";
    }
    std::vector<int> Progress() const {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    std::map<int, bool> m_enabled;
    std::map<int, std::string> m_captions;
    std::vector<int> m_progress;
    std::vector<std::string> m_messages;
};

// Every State text each device showed, with its time, in order.
class StateHistory : public DeviceTableObserver {
public:
    struct Entry {
        double ms;
        std::string text;
    };
    explicit StateHistory(Clock::time_point start) : m_start(start) {}

    void RowsCleared() override {
        std::lock_guard lock(m_mutex);
        m_numbers.clear();
    }
    void RowAppended(int row, const DeviceRow& cells) override {
        std::lock_guard lock(m_mutex);
        m_numbers[row] = cells[kColDeviceNo];
    }
    void CellChanged(int row, int column, const std::string& text) override {
        if (column != kColState) return;
        std::lock_guard lock(m_mutex);
        m_history[m_numbers[row]].push_back({MsSince(m_start), text});
    }
    void RowsReordered(const std::vector<DeviceRow>&) override {}

    std::vector<Entry> Of(const std::string& number) const {
        std::lock_guard lock(m_mutex);
        return m_history.count(number) ? m_history.at(number) : std::vector<Entry>{};
    }

private:
    Clock::time_point m_start;
    mutable std::mutex m_mutex;
    std::map<int, std::string> m_numbers;
    std::map<std::string, std::vector<Entry>> m_history;
};

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class UpgradeRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(fleet.empty()) << "UPGRADE_FLEET names no fleet";
        std::string pattern = (std::filesystem::temp_directory_path() / "upgrade-e2e-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        std::ofstream(dir / "Config.ini")
            << "[LANGUAGE]\r\nCurLanguage=" << Env("UPGRADE_LANGUAGE", "2") << "\r\n";
        station = std::make_unique<Station>(view, dir.string() + "/");
        station->m_DeviceList.SetObserver(&history);
        station->Initialise();
        station->SetUpdateFile(Env("UPGRADE_FIRMWARE"));
        texts = &Texts(station->m_nLanguage);
    }
    void TearDown() override {
        if (station) station->Close();
        station.reset();
        std::filesystem::remove_all(dir);
    }

    // Find: every device of the fleet listed, in the order of their replies.
    void FindAll() {
        station->OnFind();
        ASSERT_TRUE(WaitUntil([&] { return station->m_DeviceList.RowCount() >= int(fleet.size()); }, 10s))
            << station->m_DeviceList.RowCount() << " of " << fleet.size() << " devices listed";
        std::this_thread::sleep_for(300ms);  // late copies of replies add nothing
        ASSERT_EQ(station->m_DeviceList.RowCount(), int(fleet.size()));
    }
    int RowOf(const std::string& number) const {
        return station->m_DeviceList.FindRowByDeviceNumber(std::stoi(number));
    }
    std::string State(const std::string& number) const {
        return station->m_DeviceList.Cell(RowOf(number), kColState);
    }
    // Devices in table order (the order the run takes them).
    std::vector<const FleetDevice*> InTableOrder() const {
        std::vector<const FleetDevice*> ordered;
        for (int row = 0; row < station->m_DeviceList.RowCount(); ++row)
            for (const FleetDevice& d : fleet)
                if (station->m_DeviceList.Cell(row, kColDeviceNo) == d.number) ordered.push_back(&d);
        return ordered;
    }
    bool RunActive() const { return station->m_bUpgrading.load() != 0; }
    void ExpectControlsGivenBack() const {
        EXPECT_EQ(view.Caption(kIdUpgrade), texts->upgrade);
        for (int id :
             {kIdFindType, kIdKeyboard, kIdFind, kIdModifyIP, kIdOpen, kIdSelectAll, kIdCancel, 1028, 1046})
            EXPECT_TRUE(view.Enabled(id)) << id;
        EXPECT_EQ(station->m_DeviceList.m_bSortEnabled.load(), 1);
    }

    const std::vector<FleetDevice> fleet = LoadFleet();
    const Clock::time_point start = Clock::now();
    View view;
    StateHistory history{start};
    std::filesystem::path dir;
    std::unique_ptr<Station> station;
    const TextTable* texts = nullptr;
};

// Each chosen device in turn: started, its percentage climbing to 100% (the
// progress bar with it), then the next one; failures and devices outside the
// subnet shown as such. The window refuses to close during the run and
// closes after it; the next Find shows the new versions.
TEST_F(UpgradeRunTest, RunUpgradesEveryChosenDeviceInTurn) {
    FindAll();
    station->OnSelectAll();
    const double pressed = MsSince(start);
    station->OnUpgrade();
    ASSERT_TRUE(RunActive());
    EXPECT_EQ(view.Caption(kIdUpgrade), texts->stop);

    EXPECT_FALSE(station->Close()) << "closing is refused during a run";
    EXPECT_EQ(view.Messages().back(), texts->captionHint + ": " + texts->msgCloseDuringUpgrade);

    const auto limit = std::chrono::seconds(30 + 12 * fleet.size());
    ASSERT_TRUE(WaitUntil([&] { return !RunActive(); }, limit)) << "the run did not end";
    const double ended = MsSince(start);
    ExpectControlsGivenBack();
    const std::vector<int> bar = view.Progress();
    EXPECT_EQ(bar.back(), 0) << "the bar is reset at the end of the run";
    EXPECT_EQ(std::count(bar.begin(), bar.end(), 100),
              std::count_if(fleet.begin(), fleet.end(),
                            [](const FleetDevice& d) { return !d.fails && !d.offSegment; }))
        << "the bar climbs to 100 once per delivered image";

    double previousEnd = pressed;
    std::string timing = "{\"run_ms\":" + std::to_string(ended - pressed) + ",\"devices\":[";
    for (const FleetDevice* d : InTableOrder()) {
        SCOPED_TRACE("device " + d->number);
        const std::vector<StateHistory::Entry> states = history.Of(d->number);
        ASSERT_FALSE(states.empty());
        EXPECT_EQ(states.front().text, "") << "cleared when the run starts";
        if (d->offSegment) {
            EXPECT_EQ(State(d->number), texts->stateNoSegment);
            continue;
        }
        ASSERT_GE(states.size(), 3u);
        const StateHistory::Entry& started = states[1];
        const StateHistory::Entry& last = states.back();
        EXPECT_EQ(started.text, texts->stateUpgrading);
        EXPECT_GE(started.ms, previousEnd) << "one device after another";
        int percent = -1;
        for (size_t i = 2; i + 1 < states.size(); ++i) {
            ASSERT_EQ(states[i].text.back(), '%') << states[i].text;
            const int now = std::stoi(states[i].text);
            EXPECT_GT(now, percent) << "the percentage only climbs";
            percent = now;
        }
        if (d->silent) {
            EXPECT_EQ(last.text, texts->stateUpgradeFailed);
            EXPECT_GT(last.ms - started.ms, 10000.0) << "more than 10 s of silence";
            EXPECT_LT(last.ms - started.ms, 10500.0) << "the time-out is seen at once";
        } else if (d->fails) {
            EXPECT_EQ(last.text, texts->stateUpgradeFailed);
        } else {
            EXPECT_EQ(last.text, "100%");
        }
        timing += std::string(timing.back() == '[' ? "" : ",") + "{\"number\":" + d->number +
                  ",\"started_ms\":" + std::to_string(started.ms - pressed) +
                  ",\"ended_ms\":" + std::to_string(last.ms - pressed) + ",\"state\":\"" + last.text + "\"}";
        previousEnd = last.ms;
    }
    timing += "]}";
    if (const std::string path = Env("UPGRADE_TIMING"); !path.empty())
        std::ofstream(path, std::ios::app) << timing << "\n";

    EXPECT_TRUE(station->Close()) << "closing is allowed again";
    TearDown();  // the next Find from a fresh window, as an operator would
    SetUp();
    // A device reports its new version once it has taken its image in (after
    // a lossy transfer a simulated one waits for a repeated last block first).
    auto versionsShown = [&] {
        for (const FleetDevice& d : fleet) {
            const std::string expected = d.fails || d.offSegment ? d.version : Env("UPGRADE_NEW_VERSION");
            if (station->m_DeviceList.Cell(RowOf(d.number), kColVersion) != expected) return false;
        }
        return true;
    };
    FindAll();
    for (const auto until = Clock::now() + 15s; !versionsShown() && Clock::now() < until;) {
        std::this_thread::sleep_for(1s);
        FindAll();
    }
    for (const FleetDevice& d : fleet) {
        const std::string expected = d.fails || d.offSegment ? d.version : Env("UPGRADE_NEW_VERSION");
        EXPECT_EQ(station->m_DeviceList.Cell(RowOf(d.number), kColVersion), expected)
            << "device " << d.number;
    }
}

// Stop during a run: the first press is silent and the current device
// finishes; a second press only shows the hint; no further device starts.
TEST_F(UpgradeRunTest, StopEndsTheRunAfterTheCurrentDevice) {
    FindAll();
    station->OnSelectAll();
    station->OnUpgrade();
    const std::vector<const FleetDevice*> order = InTableOrder();
    const std::string& first = order.front()->number;
    ASSERT_TRUE(WaitUntil([&] { return State(first).ends_with("%"); }, 15s)) << State(first);
    const size_t messages = view.Messages().size();
    station->OnUpgrade();
    EXPECT_EQ(view.Messages().size(), messages) << "the first press says nothing";
    EXPECT_EQ(view.Caption(kIdUpgrade), texts->stop);
    station->OnUpgrade();
    ASSERT_EQ(view.Messages().size(), messages + 1);
    EXPECT_EQ(view.Messages().back(), texts->captionHint + ": " + texts->msgStopPending);

    ASSERT_TRUE(WaitUntil([&] { return !RunActive(); }, 30s));
    EXPECT_EQ(State(first), "100%");
    for (size_t i = 1; i < order.size(); ++i) EXPECT_EQ(State(order[i]->number), "") << order[i]->number;
    ExpectControlsGivenBack();
}

}  // namespace
