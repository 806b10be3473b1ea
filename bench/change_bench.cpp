// One address-change batch over a whole simulated fleet: every listed device
// chosen, automatic increase. Measures the time from the dialog's OK to the
// first and the last command on the wire (the batch's pacing alone is 10 ms
// per 20 devices) and to the last result in the table, and checks with a
// second search that every device took its new address. Runs inside the lab's
// workstation namespace (bench/change_bench.sh), never outside it.
//
//   change_bench DEVICES [FIRST NEW ADDRESS = 10.77.100.1] [INTERFACE = lab-ws]

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "model/null_station_view.h"
#include "runs/address_change_sender.h"
#include "station/station.h"
#include "udp_sniffer.h"

using namespace quillane;
using namespace std::chrono_literals;

namespace {

// The operator: confirms the dialog at once with the new first address.
class BenchView : public NullStationView {
public:
    std::optional<IpSettingsValues> AskIpSettings(const std::string&, Language,
                                                  const IpDeviceValues&) override {
        IpSettingsValues entered;
        entered.ip = firstNewAddress.Number();
        entered.ipCheck = 1;
        entered.maskCheck = entered.gatewayCheck = entered.serverCheck = entered.backupServerCheck = 0;
        entered.editType = 0;
        okNs = NowNs();
        return entered;
    }
    IPv4Address firstNewAddress;
    std::atomic<int64_t> okNs{0};
};

// Rows listed, and results as they are written.
class TableClock : public DeviceTableObserver {
public:
    void RowsCleared() override { rows = 0; }
    void RowAppended(int, const DeviceRow&) override { rows.fetch_add(1); }
    void CellChanged(int, int column, const std::string& text) override {
        if (column != kColState) return;
        if (text == "Success" || text == "Failure") {
            lastResultNs = NowNs();
            results.fetch_add(1);
            successes.fetch_add(text == "Success");
        }
    }
    void RowsReordered(const std::vector<DeviceRow>&) override {}
    std::atomic<int> rows{0}, results{0}, successes{0};
    std::atomic<int64_t> lastResultNs{0};
};

// Waits until `done` holds, or nothing moved in `count` for `quiet`.
template <class Done>
void WaitFor(Done done, const std::atomic<int>& count, std::chrono::milliseconds quiet) {
    int seen = -1;
    auto since = std::chrono::steady_clock::now();
    while (!done() && std::chrono::steady_clock::now() - since < quiet) {
        if (count != seen) seen = count, since = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(2ms);
    }
}

// The addresses automatic increase hands out, last octet 1 to 249.
std::set<std::string> IncreasedAddresses(IPv4Address first, int count) {
    std::set<std::string> addresses;
    IPv4Address a = first;
    for (int i = 0; i < count; ++i) {
        addresses.insert(a.ToString());
        a = a.Octet(3) < 249 ? IPv4Address(a.Number() + 1)
                             : IPv4Address::FromOctets(a.Octet(0), a.Octet(1), a.Octet(2) + 1, 1);
    }
    return addresses;
}

double Ms(int64_t ns) {
    return ns / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: change_bench DEVICES [FIRST NEW ADDRESS] [INTERFACE]\n");
        return 2;
    }
    const int devices = std::atoi(argv[1]);
    BenchView view;
    view.firstNewAddress = IPv4Address::Parse(argc > 2 ? argv[2] : "10.77.100.1");
    const char* interfaceName = argc > 3 ? argv[3] : "lab-ws";

    std::string pattern = (std::filesystem::temp_directory_path() / "change-bench-XXXXXX").string();
    const std::filesystem::path dir = mkdtemp(pattern.data());
    TableClock clock;
    // Address-change commands leaving the workstation (40 or 48 bytes to port 25000).
    UdpSniffer commands(interfaceName, [](uint16_t port, size_t length) {
        return port == 25000 && (length == 40 || length == 48);
    });
    bool ok = true;
    {
        Station station(view, dir.string() + "/");
        station.Initialise();
        station.m_nLanguage = 2;
        station.m_DeviceList.SetObserver(&clock);
        station.RequestSearch(SearchRequest{});
        WaitFor([&] { return clock.rows == devices; }, clock.rows, 3s);
        std::printf("devices %d: listed %d\n", devices, clock.rows.load());

        station.OnSelectAll();
        station.OnModifyIP();
        WaitFor([&] { return clock.results == clock.rows; }, clock.results, 6s);
        const int64_t okAt = view.okNs;
        const int sent = commands.datagrams;
        std::printf(
            "  OK to first command %.1f ms, OK to last command %.1f ms (pauses %u x %u ms = %u ms), commands "
            "%d\n"
            "  OK to last result %.1f ms; results %d, successes %d\n",
            Ms(commands.firstNs - okAt), Ms(commands.lastNs - okAt), (clock.rows / kChangePauseEvery),
            kChangePauseMs, (clock.rows / kChangePauseEvery) * kChangePauseMs, sent,
            Ms(clock.lastResultNs - okAt), clock.results.load(), clock.successes.load());

        // Every device answers the next search with its new address.
        const std::set<std::string> expected = IncreasedAddresses(view.firstNewAddress, clock.rows);
        station.RequestSearch(SearchRequest{});
        std::this_thread::sleep_for(200ms);
        WaitFor([&] { return clock.rows == devices; }, clock.rows, 3s);
        std::set<std::string> listed;
        for (int row = 0; row < station.m_DeviceList.RowCount(); ++row) {
            listed.insert(station.m_DeviceList.Cell(row, kColIP));
        }
        const bool allMoved = listed == expected;
        std::printf("  after the next search: %zu devices listed, %s\n", listed.size(),
                    allMoved ? "every one at its new address" : "NOT every device at its new address");
        ok = allMoved && sent == devices && clock.successes == devices;
        station.m_DeviceList.SetObserver(nullptr);
        station.Close();
    }
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
