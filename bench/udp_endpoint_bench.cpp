// Receive throughput of the UDP endpoint against a plain blocking recvfrom
// loop, both fed over loopback by the same blasting sender, and the CPU an
// idle open endpoint uses. Besides the delivered rate (which a busy machine or
// a slow sender bounds) it reports the receiving thread's own CPU time per
// datagram, and the rate one core could take at that cost.
//
//   udp_endpoint_bench [seconds per round = 2] [rounds = 3] [idle seconds = 10]
//
// Loopback only (127.0.0.1, ports picked by the system).

#include <pthread.h>
#include <sys/resource.h>
#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "link/udp_endpoint.h"

using namespace quillane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kDatagramBytes = 56;  // a typed search reply

struct Round {
    uint64_t sent = 0;
    uint64_t delivered = 0;
    double seconds = 0;
    double receiverCpuSeconds = 0;
    double Rate() const { return seconds > 0 ? delivered / seconds : 0; }
    double CpuMicrosPerDatagram() const { return delivered ? 1e6 * receiverCpuSeconds / delivered : 0; }
};

// CPU time a running thread has used so far.
double ThreadCpuSeconds(pthread_t thread) {
    clockid_t clock;
    timespec ts{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &ts) != 0) return 0;
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Sends as fast as the socket takes datagrams for `seconds`; returns the count.
uint64_t Blast(uint16_t port, double seconds) {
    const SocketHandle sender = UdpSocketCreate();
    const sockaddr_in to = MakeAddress(htonl(INADDR_LOOPBACK), port);
    std::vector<uint8_t> bytes(kDatagramBytes, 0xA5);
    uint64_t sent = 0;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        for (int i = 0; i < 64; ++i) {
            if (SocketSendTo(sender, bytes.data(), bytes.size(), to) > 0) ++sent;
        }
    }
    SocketClose(sender);
    return sent;
}

std::atomic<uint64_t> g_delivered{0};

void Count(const sockaddr_in*, const uint8_t*, int, void*) {
    g_delivered.fetch_add(1, std::memory_order_relaxed);
}

Round EndpointRound(double seconds) {
    ST_UDP_ENDPOINT_tag endpoint;
    if (UdpEndpointOpen(endpoint, 0, &Count, nullptr) != 1 || !UdpEndpointStart(endpoint)) {
        std::fprintf(stderr, "cannot open the endpoint\n");
        std::exit(1);
    }
    const uint16_t port = SocketLocalPort(endpoint.socket);
    g_delivered = 0;
    Round r;
    const double cpuBefore = ThreadCpuSeconds(endpoint.thread.NativeHandle());
    const auto start = Clock::now();
    r.sent = Blast(port, seconds);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the buffer drain
    r.delivered = g_delivered.load();
    r.receiverCpuSeconds = ThreadCpuSeconds(endpoint.thread.NativeHandle()) - cpuBefore;
    UdpEndpointClose(endpoint);
    return r;
}

// The reference: a blocking socket with the same buffer size, one recvfrom per datagram.
Round PlainRound(double seconds) {
    const SocketHandle s = UdpSocketCreate();
    SocketBind(s, htonl(INADDR_ANY), 0);
    SocketSetIntOption(s, SOL_SOCKET, SO_RCVBUF, kEndpointBufferBytes);
    timeval timeout{0, 50000};  // lets the loop see the stop flag
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const uint16_t port = SocketLocalPort(s);
    std::atomic<bool> run{true};
    std::atomic<uint64_t> delivered{0};
    std::thread receiver([&] {
        std::vector<uint8_t> buffer(kEndpointMaxDatagram);
        while (run.load(std::memory_order_relaxed)) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n =
                ::recvfrom(s, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n > 0) delivered.fetch_add(1, std::memory_order_relaxed);
        }
    });
    Round r;
    const double cpuBefore = ThreadCpuSeconds(receiver.native_handle());
    const auto start = Clock::now();
    r.sent = Blast(port, seconds);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    r.delivered = delivered.load();
    r.receiverCpuSeconds = ThreadCpuSeconds(receiver.native_handle()) - cpuBefore;
    run = false;
    receiver.join();
    SocketClose(s);
    return r;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const double idleSeconds = argc > 3 ? std::atof(argv[3]) : 10.0;

    std::vector<double> endpointRates, plainRates, endpointCost, plainCost;
    for (int i = 0; i < rounds; ++i) {  // interleaved, so load changes hit both alike
        const Round e = EndpointRound(seconds);
        const Round p = PlainRound(seconds);
        std::printf(
            "round %d: endpoint %.0f/s (%llu of %llu sent, %.2f us CPU each), plain recvfrom %.0f/s (%llu of "
            "%llu "
            "sent, %.2f us CPU each)\n",
            i + 1, e.Rate(), static_cast<unsigned long long>(e.delivered),
            static_cast<unsigned long long>(e.sent), e.CpuMicrosPerDatagram(), p.Rate(),
            static_cast<unsigned long long>(p.delivered), static_cast<unsigned long long>(p.sent),
            p.CpuMicrosPerDatagram());
        endpointRates.push_back(e.Rate());
        plainRates.push_back(p.Rate());
        endpointCost.push_back(e.CpuMicrosPerDatagram());
        plainCost.push_back(p.CpuMicrosPerDatagram());
    }
    const double endpoint = Median(endpointRates), plain = Median(plainRates);
    std::printf(
        "median delivered: endpoint %.0f datagrams/s, plain recvfrom %.0f datagrams/s, ratio %.1f%%\n",
        endpoint, plain, plain > 0 ? 100.0 * endpoint / plain : 0.0);
    const double eCost = Median(endpointCost), pCost = Median(plainCost);
    std::printf(
        "median receive cost: endpoint %.2f us, plain recvfrom %.2f us per datagram; one core takes %.0f vs "
        "%.0f "
        "datagrams/s, ratio %.1f%%\n",
        eCost, pCost, eCost > 0 ? 1e6 / eCost : 0.0, pCost > 0 ? 1e6 / pCost : 0.0,
        eCost > 0 ? 100.0 * pCost / eCost : 0.0);

    ST_UDP_ENDPOINT_tag idle;
    UdpEndpointOpen(idle, 0, &Count, nullptr);
    UdpEndpointStart(idle);
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    UdpEndpointClose(idle);
    std::printf("idle open endpoint: %.3f ms CPU over %.1f s = %.3f%% of one core\n", cpu * 1000, wall,
                100.0 * cpu / wall);
    return 0;
}
