#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "headless_view.h"
#include "model/device_table.h"
#include "model/run_events.h"
#include "row_format.h"
#include "runs/service_ports.h"
#include "station/station.h"

namespace quillane::cli {

// Watches the station for the tool: when the table last gained a row (a
// search is over once no new device has answered for a while), the rows'
// state values while asked, and the runs' beginnings and ends. The station
// tells it on the workers' threads, often with the table locked: it only
// takes notes and wakes the main thread, which waits in WaitForNews.
class StationWatch : public DeviceTableObserver, public RunObserver {
public:
    using Clock = std::chrono::steady_clock;
    struct StateChange {
        int row;
        RowState state;
    };

    void RowsCleared() override { Touch(); }
    void RowAppended(int, const DeviceRow&) override { Touch(); }
    void CellChanged(int, int, const std::string&) override {}
    void RowsReordered(const std::vector<DeviceRow>&) override {}
    void RowStateChanged(int row, const RowState& state) override;
    void RunStarted(RunKind kind) override;
    void RunEnded(RunKind kind) override;

    Clock::time_point LastRowAdded() const { return Clock::time_point(Clock::duration(m_last.load())); }
    void KeepStateChanges(bool keep) { m_keepStates = keep; }
    std::vector<StateChange> TakeStateChanges();

    // How many runs of the kind began / ended so far.
    int Started(RunKind kind) const;
    int Ended(RunKind kind) const;
    // Waits until more than `endedBefore` runs of the kind have ended. With
    // `quiet` it gives up (false) once that long passed without news (a state
    // change or a run event): only a station whose loop has gone stays quiet.
    bool WaitForEnd(RunKind kind, int endedBefore, std::optional<Clock::duration> quiet = std::nullopt);
    // Waits for news or `longest`, whichever comes first.
    void WaitForNews(Clock::duration longest);

private:
    void Touch() { m_last = Clock::now().time_since_epoch().count(); }
    void Tell();  // with m_mutex held
    std::atomic<Clock::duration::rep> m_last{0};
    std::atomic<bool> m_keepStates{false};
    mutable std::mutex m_mutex;  // guards the members below
    std::condition_variable m_news;
    uint64_t m_newsCount = 0;
    std::vector<StateChange> m_states;
    std::array<int, 3> m_started{}, m_ended{};
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

    // The rows of the table with their states, sorted by IP address (ascending).
    std::vector<ListedDevice> SortedRows() const;

    // Checks the rows of the devices asked for (the station's choice verb).
    ChosenDevices Choose(const DeviceChoice& choice) { return m_station.ChooseRows(choice); }
    // The chosen rows, in table order. Runs address rows by index and keep
    // the table unsorted, so an index names its device until the next search.
    std::vector<int> ChosenRows() const;

    Station& station() { return m_station; }
    HeadlessView& view() { return m_view; }
    StationWatch& watch() { return m_watch; }
    const SearchOptions& searchOptions() const { return m_search; }

private:
    const SearchOptions m_search;
    HeadlessView m_view;
    Station m_station;
    StationWatch m_watch;
};

// "cannot use UDP port 25005 (device replies): it is already used ..." for a
// service that could not have its port.
std::string PortProblem(const ServicePort& port);

}  // namespace quillane::cli
