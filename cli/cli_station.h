#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "arguments.h"
#include "headless_view.h"
#include "mainwindow/device_table.h"
#include "mainwindow/station.h"

namespace quillane::cli {

// Notes when the device table last gained a row: a search is over once no new
// device has answered for a while.
class TableActivity : public DeviceTableObserver {
public:
    using Clock = std::chrono::steady_clock;

    void RowsCleared() override { Touch(); }
    void RowAppended(int, const DeviceRow&) override { Touch(); }
    void CellChanged(int, int, const std::string&) override {}
    void RowsReordered(const std::vector<DeviceRow>&) override {}

    Clock::time_point Last() const { return Clock::time_point(Clock::duration(m_last.load())); }

private:
    void Touch() { m_last = Clock::now().time_since_epoch().count(); }
    std::atomic<Clock::duration::rep> m_last{0};
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

    Station& station() { return m_station; }
    HeadlessView& view() { return m_view; }
    const SearchOptions& searchOptions() const { return m_search; }

private:
    const SearchOptions m_search;
    HeadlessView m_view;
    Station m_station;
    TableActivity m_activity;
};

// "port 25005 (device replies) is already in use ..." for a port that could not be bound.
std::string PortProblem(uint16_t port, const std::string& use);

}  // namespace quillane::cli
