// One automatic search answered by a whole simulated fleet: how many devices
// are listed, how long from Find to the last row, and how long after the last
// reply reached the workstation's interface the last row came. Runs inside the
// lab's workstation namespace (bench/find_bench.sh), never outside it.
//
//   find_bench DEVICES [SEARCHES = 3] [INTERFACE = lab-ws] [RCVBUF]
//
// RCVBUF, when given, sets the device endpoint's SO_RCVBUF after the start, to
// see how a host with other socket-buffer limits fares.

#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "mainwindow/null_station_view.h"
#include "mainwindow/station.h"

using namespace quillane;
using namespace std::chrono_literals;

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

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

// Sees every reply on the wire, with the kernel's arrival time stamp.
class ReplySniffer {
public:
    explicit ReplySniffer(const char* interfaceName) {
        m_socket = ::socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_IP));
        int size = 64 << 20;
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
        int on = 1;
        ::setsockopt(m_socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        sockaddr_ll where{};
        where.sll_family = AF_PACKET;
        where.sll_protocol = htons(ETH_P_IP);
        where.sll_ifindex = static_cast<int>(if_nametoindex(interfaceName));
        if (m_socket < 0 || where.sll_ifindex == 0 ||
            ::bind(m_socket, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
            std::fprintf(stderr, "find_bench: no packet socket on %s\n", interfaceName);
            std::exit(1);
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~ReplySniffer() {
        m_run = false;
        m_thread.join();
        ::close(m_socket);
    }
    std::atomic<int> replies{0};
    std::atomic<int64_t> lastReplyNs{0};

private:
    void Run() {
        uint8_t packet[2048];
        char control[256];
        while (m_run) {
            if (SocketWaitReadable(m_socket, 50) != 1) continue;
            iovec io{packet, sizeof packet};
            msghdr msg{};
            msg.msg_iov = &io;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(m_socket, &msg, 0);
            if (n < static_cast<ssize_t>(sizeof(iphdr) + sizeof(udphdr)) || msg.msg_flags & MSG_TRUNC) continue;
            const auto* ip = reinterpret_cast<const iphdr*>(packet);
            if (ip->protocol != IPPROTO_UDP) continue;
            const auto* udp = reinterpret_cast<const udphdr*>(packet + ip->ihl * 4);
            if (ntohs(udp->dest) != 25005) continue;
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec ts;
                    std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                    lastReplyNs = int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
                }
            }
            replies.fetch_add(1);
        }
    }
    int m_socket = -1;
    std::atomic<bool> m_run{true};
    std::thread m_thread;
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
    ReplySniffer sniffer(interfaceName);
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
            const int repliesBefore = sniffer.replies;
            const int64_t findNs = NowNs();
            station.m_bSearchRequest = 1;
            station.m_hLoopEvent.Set();
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
            const double findToLastReplyMs = (sniffer.lastReplyNs - findNs) / 1e6;
            std::printf(
                "devices %d search %d: listed %d (%.1f%%), Find to last row %.1f ms, Find to last reply on the wire "
                "%.1f ms; replies on the wire %d, UDP received %llu, receive-buffer drops %llu\n",
                devices, search, rows, 100.0 * rows / devices, findToLastRowMs, findToLastReplyMs,
                sniffer.replies - repliesBefore,
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
