#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "arguments.h"
#include "headless_view.h"
#include "model/device_table.h"
#include "station/station.h"

namespace quillane::cli {

// Watches the device table for the tool: when it last gained a row (a search
// is over once no new device has answered for a while), and, while asked, the
// State texts written, kept for the main thread (the observer runs on the
// workers' threads with the table locked: it only takes notes).
class TableWatch : public DeviceTableObserver {
public:
    using Clock = std::chrono::steady_clock;
    struct StateChange {
        int row;
        std::string text;
    };

    void RowsCleared() override { Touch(); }
    void RowAppended(int, const DeviceRow&) override { Touch(); }
    void CellChanged(int row, int column, const std::string& text) override;
    void RowsReordered(const std::vector<DeviceRow>&) override {}

    Clock::time_point LastRowAdded() const { return Clock::time_point(Clock::duration(m_last.load())); }
    void KeepStateChanges(bool keep) { m_keepStates = keep; }
    std::vector<StateChange> TakeStateChanges();

private:
    void Touch() { m_last = Clock::now().time_since_epoch().count(); }
    std::atomic<Clock::duration::rep> m_last{0};
    std::atomic<bool> m_keepStates{false};
    std::mutex m_mutex;
    std::vector<StateChange> m_states;
};

// The devices a change or an upgrade applies to, as found in the table.
struct ChosenDevices {
    std::vector<int32_t> chosen;   // device numbers whose rows carry the check mark, in table order
    std::vector<int32_t> missing;  // numbers asked for that no row holds
};

// Which of the station's services a command needs.
enum class Services { DeviceLink, WithFirmware };

// The station as the command-line tool runs it: a headless view, no settings
// files, the real device ports, and only the services the command needs.
class CliStation {
public:
    CliStation(const SearchOptions& search, Services services);
    ~CliStation();

    // Initialises the station and checks that every service got its port.
    // False, with `error` naming the port and the likely cause, otherwise.
    bool Start(std::string& error);

    // One search as Find runs it, with the command line's type filter. Returns
    // once the probes are out and no new device has answered for the wait
    // given. False, with the station's message in `error`, when Find refused.
    bool Search(std::string& error);

    // The rows of the table, sorted by IP address (ascending).
    std::vector<DeviceRow> SortedRows() const;

    // Checks the rows of the devices asked for as the operator does: Select
    // all for --all, a click on each device's row otherwise.
    ChosenDevices Choose(const DeviceChoice& choice);
    // The chosen rows, in table order. Runs address rows by index and keep
    // the table unsorted, so an index names its device until the next search.
    std::vector<int> ChosenRows() const;

    Station& station() { return m_station; }
    HeadlessView& view() { return m_view; }
    TableWatch& watch() { return m_watch; }
    const SearchOptions& searchOptions() const { return m_search; }

private:
    const SearchOptions m_search;
    HeadlessView m_view;
    Station m_station;
    TableWatch m_watch;
};

// "port 25005 (device replies) is already in use ..." for a port that could not be bound.
std::string PortProblem(uint16_t port, const std::string& use);

}  // namespace quillane::cli
