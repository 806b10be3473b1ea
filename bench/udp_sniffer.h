#pragma once

// Sees the UDP datagrams that cross one interface (both directions) and keeps
// the kernel's time stamps of those a filter accepts: when the first and the
// last crossed, and how many. Lab benchmarks only (a packet socket needs root).

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
#include <functional>
#include <thread>

#include "support/udp_socket.h"

namespace quillane {

// Wall-clock nanoseconds, the clock of the kernel's packet time stamps.
inline int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class UdpSniffer {
public:
    // `accept` sees the destination port and the UDP payload length.
    using Filter = std::function<bool(uint16_t destinationPort, size_t payloadLength)>;

    UdpSniffer(const char* interfaceName, Filter accept) : m_accept(std::move(accept)) {
        // ETH_P_ALL: only such sockets see the packets the host itself sends.
        m_socket = ::socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_ALL));
        int size = 64 << 20;
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
        int on = 1;
        ::setsockopt(m_socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        sockaddr_ll where{};
        where.sll_family = AF_PACKET;
        where.sll_protocol = htons(ETH_P_ALL);
        where.sll_ifindex = static_cast<int>(if_nametoindex(interfaceName));
        if (m_socket < 0 || where.sll_ifindex == 0 ||
            ::bind(m_socket, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
            std::fprintf(stderr, "no packet socket on %s\n", interfaceName);
            std::exit(1);
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~UdpSniffer() {
        m_run = false;
        m_thread.join();
        ::close(m_socket);
    }
    UdpSniffer(const UdpSniffer&) = delete;
    UdpSniffer& operator=(const UdpSniffer&) = delete;

    std::atomic<int> datagrams{0};
    std::atomic<int64_t> firstNs{0}, lastNs{0};

private:
    void Run() {
        uint8_t packet[2048];
        char control[256];
        while (m_run) {
            if (SocketWaitReadable(m_socket, 50) != 1) continue;
            iovec io{packet, sizeof packet};
            sockaddr_ll from{};
            msghdr msg{};
            msg.msg_name = &from;
            msg.msg_namelen = sizeof from;
            msg.msg_iov = &io;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(m_socket, &msg, 0);
            if (n < static_cast<ssize_t>(sizeof(iphdr) + sizeof(udphdr)) || msg.msg_flags & MSG_TRUNC)
                continue;
            if (from.sll_protocol != htons(ETH_P_IP)) continue;
            const auto* ip = reinterpret_cast<const iphdr*>(packet);
            if (ip->protocol != IPPROTO_UDP) continue;
            const auto* udp = reinterpret_cast<const udphdr*>(packet + ip->ihl * 4);
            const size_t payload = ntohs(udp->len) - sizeof(udphdr);
            if (!m_accept(ntohs(udp->dest), payload)) continue;
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec ts;
                    std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                    const int64_t at = int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
                    if (firstNs == 0) firstNs = at;
                    lastNs = at;
                }
            }
            datagrams.fetch_add(1);
        }
    }
    Filter m_accept;
    int m_socket = -1;
    std::atomic<bool> m_run{true};
    std::thread m_thread;
};

}  // namespace quillane
