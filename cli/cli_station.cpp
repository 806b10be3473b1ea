#include "cli_station.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "model/device_types.h"
#include "runs/service_ports.h"
#include "support/exe_dir.h"

namespace quillane::cli {
namespace {

StationNetwork CliNetwork(Services services) {
    StationNetwork network;
    network.firmwareServices = services == Services::WithFirmware;
    return network;
}

// With --types only those types are listed; otherwise every type.
void ApplyTypeFilter(Station& station, const std::optional<std::vector<int32_t>>& codes) {
    for (const DeviceType& type : kDeviceTypes) {
        const bool listed = !codes || std::find(codes->begin(), codes->end(), type.code) != codes->end();
        station.*type.flag = listed ? 1 : 0;
    }
}

std::string JoinMessages(const std::vector<HeadlessView::Message>& messages) {
    std::string text;
    for (const auto& message : messages) text += (text.empty() ? "" : "; ") + message.text;
    return text;
}

}  // namespace

void StationWatch::Tell() {
    ++m_newsCount;
    m_news.notify_all();
}

void StationWatch::RowStateChanged(int row, const RowState& state) {
    std::lock_guard lock(m_mutex);
    if (m_keepStates) m_states.push_back({row, state});
    Tell();
}

void StationWatch::RunStarted(RunKind kind) {
    std::lock_guard lock(m_mutex);
    ++m_started[static_cast<size_t>(kind)];
    Tell();
}

void StationWatch::RunEnded(RunKind kind) {
    std::lock_guard lock(m_mutex);
    ++m_ended[static_cast<size_t>(kind)];
    Tell();
}

std::vector<StationWatch::StateChange> StationWatch::TakeStateChanges() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_states, {});
}

int StationWatch::Started(RunKind kind) const {
    std::lock_guard lock(m_mutex);
    return m_started[static_cast<size_t>(kind)];
}

int StationWatch::Ended(RunKind kind) const {
    std::lock_guard lock(m_mutex);
    return m_ended[static_cast<size_t>(kind)];
}

bool StationWatch::WaitForEnd(RunKind kind, int endedBefore, std::optional<Clock::duration> quiet) {
    std::unique_lock lock(m_mutex);
    const auto ended = [&] { return m_ended[static_cast<size_t>(kind)] > endedBefore; };
    if (!quiet) {
        m_news.wait(lock, ended);
        return true;
    }
    while (!ended()) {
        const uint64_t seen = m_newsCount;
        if (!m_news.wait_for(lock, *quiet, [&] { return m_newsCount != seen; })) return false;
    }
    return true;
}

void StationWatch::WaitForNews(Clock::duration longest) {
    std::unique_lock lock(m_mutex);
    const uint64_t seen = m_newsCount;
    m_news.wait_for(lock, longest, [&] { return m_newsCount != seen; });
}

std::string PortProblem(const ServicePort& port) {
    static const char* const kUses[] = {"device replies", "boot requests", "TFTP"};
    return "cannot use UDP port " + std::to_string(port.port) + " (" +
           kUses[static_cast<size_t>(port.service)] + "): it " + DescribePortFailure(port.why, 2);
}

CliStation::CliStation(const SearchOptions& search, Services services)
    : m_search(search),
      m_view(search),
      m_station(m_view, ExecutableDirectory(), CliNetwork(services), SettingsFiles::None) {
    m_station.m_nLanguage = search.language;
    m_station.m_DeviceList.SetObserver(&m_watch);
    m_station.SetRunObserver(&m_watch);
}

CliStation::~CliStation() {
    m_station.Close();
    m_station.m_DeviceList.SetObserver(nullptr);
    m_station.SetRunObserver(nullptr);
}

bool CliStation::Start(std::string& error) {
    m_station.Initialise();
    if (const std::optional<ServicePort> lacking = FirstServiceWithoutPort(m_station)) {
        error = PortProblem(*lacking);
        return false;
    }
    return true;
}

bool CliStation::Search(std::string& error) {
    ApplyTypeFilter(m_station, m_search.types);
    m_view.TakeMessages();
    const int searches = m_watch.Ended(RunKind::kSearch);
    m_station.Search(SearchRequest{m_search.range ? 1 : 0, m_search.rangeFirst, m_search.rangeLast});
    if (const auto messages = m_view.TakeMessages(); !messages.empty()) {
        error = JoinMessages(messages);
        return false;
    }
    // The search ends once the probes are out (a range walk takes a while).
    m_watch.WaitForEnd(RunKind::kSearch, searches);
    const auto sent = StationWatch::Clock::now();
    const auto wait = std::chrono::milliseconds(m_search.waitMs);
    while (true) {
        const auto deadline = std::max(sent, m_watch.LastRowAdded()) + wait;
        const auto now = StationWatch::Clock::now();
        if (now >= deadline) return true;
        std::this_thread::sleep_for(deadline - now);
    }
}

std::vector<ListedDevice> CliStation::SortedRows() const {
    std::vector<ListedDevice> rows;
    const DeviceTable& table = m_station.m_DeviceList;
    for (int row = 0; row < table.RowCount(); ++row) rows.push_back({table.Row(row), table.RowStateOf(row)});
    std::stable_sort(rows.begin(), rows.end(), [](const ListedDevice& a, const ListedDevice& b) {
        return DeviceTable::CompareCells(kColIP, a.cells[kColIP], b.cells[kColIP]) < 0;
    });
    return rows;
}

std::vector<int> CliStation::ChosenRows() const {
    std::vector<int> rows;
    const DeviceTable& table = m_station.m_DeviceList;
    for (int row = 0; row < table.RowCount(); ++row) {
        if (table.IsChosen(row)) rows.push_back(row);
    }
    return rows;
}

}  // namespace quillane::cli
