// One automatic search answered by a whole simulated fleet: how many devices
// are listed, how long from Find to the last row, and how long after the last
// reply reached the workstation's interface the last row came. Runs inside the
// lab's workstation namespace (bench/find_bench.sh), never outside it.
//
//   find_bench DEVICES [SEARCHES = 3] [INTERFACE = lab-ws] [RCVBUF]
//
// RCVBUF, when given, sets the device endpoint's SO_RCVBUF after the start, to
// see how a host with other socket-buffer limits fares.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "model/null_station_view.h"
#include "station/station.h"
#include "udp_sniffer.h"

using namespace quillane;
using namespace std::chrono_literals;

namespace {

using BenchView = NullStationView;

// Time of each appended row.
class RowClock : public DeviceTableObserver {
public:
    void RowsCleared() override { rows = 0; }
    void RowAppended(int, const DeviceRow&) override {
        lastRowNs = NowNs();
        rows.fetch_add(1);
    }
    void CellChanged(int, int, const std::string&) override {}
    void RowsReordered(const std::vector<DeviceRow>&) override {}
    std::atomic<int> rows{0};
    std::atomic<int64_t> lastRowNs{0};
};

// The namespace's UDP counters.
std::map<std::string, uint64_t> UdpCounters() {
    std::ifstream snmp("/proc/net/snmp");
    std::string header, values;
    std::map<std::string, uint64_t> counters;
    while (std::getline(snmp, header) && std::getline(snmp, values)) {
        if (header.rfind("Udp:", 0) != 0) continue;
        std::istringstream names(header.substr(4)), numbers(values.substr(4));
        std::string name;
        uint64_t number;
        while (names >> name && numbers >> number) counters[name] = number;
    }
    return counters;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: find_bench DEVICES [SEARCHES] [INTERFACE] [RCVBUF]\n");
        return 2;
    }
    const int devices = std::atoi(argv[1]);
    const int searches = argc > 2 ? std::atoi(argv[2]) : 3;
    const char* interfaceName = argc > 3 ? argv[3] : "lab-ws";
    const int receiveBuffer = argc > 4 ? std::atoi(argv[4]) : 0;

    std::string pattern = (std::filesystem::temp_directory_path() / "find-bench-XXXXXX").string();
    const std::filesystem::path dir = mkdtemp(pattern.data());
    BenchView view;
    RowClock clock;
    // Every reply on the wire, with the kernel's arrival time stamp.
    UdpSniffer sniffer(interfaceName, [](uint16_t port, size_t) { return port == 25005; });
    int failures = 0;
    {
        Station station(view, dir.string() + "/");
        station.Initialise();
        if (receiveBuffer > 0) {
            SocketSetIntOption(station.m_DeviceEndpoint.socket, SOL_SOCKET, SO_RCVBUF, receiveBuffer);
        }
        int granted = 0;
        socklen_t length = sizeof granted;
        ::getsockopt(station.m_DeviceEndpoint.socket, SOL_SOCKET, SO_RCVBUF, &granted, &length);
        std::printf("device endpoint receive buffer: %d bytes\n", granted);
        station.m_DeviceList.SetObserver(&clock);
        for (int search = 1; search <= searches; ++search) {
            const auto before = UdpCounters();
            const int repliesBefore = sniffer.datagrams;
            const int64_t findNs = NowNs();
            station.RequestSearch(SearchRequest{});
            // Done when every device is listed, or nothing new came for 3 s.
            int seen = -1;
            auto quietSince = std::chrono::steady_clock::now();
            while (std::chrono::steady_clock::now() - quietSince < 3s) {
                const int rows = clock.rows;
                if (rows == devices) break;
                if (rows != seen) seen = rows, quietSince = std::chrono::steady_clock::now();
                std::this_thread::sleep_for(5ms);
            }
            std::this_thread::sleep_for(500ms);  // late replies, for the counters
            const auto after = UdpCounters();
            const int rows = clock.rows;
            const double findToLastRowMs = (clock.lastRowNs - findNs) / 1e6;
            const double findToLastReplyMs = (sniffer.lastNs - findNs) / 1e6;
            std::printf(
                "devices %d search %d: listed %d (%.1f%%), Find to last row %.1f ms, "
                "Find to last reply on the wire %.1f ms; "
                "replies on the wire %d, UDP received %llu, receive-buffer drops %llu\n",
                devices, search, rows, 100.0 * rows / devices, findToLastRowMs, findToLastReplyMs,
                sniffer.datagrams - repliesBefore,
                static_cast<unsigned long long>(after.at("InDatagrams") - before.at("InDatagrams")),
                static_cast<unsigned long long>(after.at("RcvbufErrors") - before.at("RcvbufErrors")));
            std::fflush(stdout);
            if (rows != devices) ++failures;
            std::this_thread::sleep_for(1s);
        }
        station.m_DeviceList.SetObserver(nullptr);
        station.Close();
    }
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
