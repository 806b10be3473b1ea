#include "pktinfo_socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device_config.h"

namespace devsim {

int OpenPktinfoSocket(uint16_t port, bool reuseAddress, std::string& error) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (reuseAddress) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const int ttl = 8;
    ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    // Enough room for a burst of commands while the loop is busy answering.
    const int buffer = 4 << 20;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = "bind 0.0.0.0:" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool JoinGroupOnInterface(int socket, uint32_t group, int interfaceIndex) {
    ip_mreqn request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_ifindex = interfaceIndex;
    if (::setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0) return true;
    return errno == EADDRINUSE;  // already a member there
}

ReceivedDatagram ReceivePktinfo(int socket, uint8_t* buffer, size_t capacity) {
    ReceivedDatagram result;
    sockaddr_in peer{};
    iovec io{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &peer;
    message.msg_namelen = sizeof peer;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = ::recvmsg(socket, &message, MSG_DONTWAIT);
    if (length < 0) return result;
    if (message.msg_flags & MSG_TRUNC) {
        result.length = static_cast<int>(capacity) + 1;  // longer than any command: rejected by length
    } else {
        result.length = static_cast<int>(length);
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            result.destination = ntohl(info.ipi_addr.s_addr);
            result.interfaceIndex = info.ipi_ifindex;
        }
    }
    result.peerIp = ntohl(peer.sin_addr.s_addr);
    result.peerPort = ntohs(peer.sin_port);
    return result;
}

int SendFrom(int socket, uint32_t source, uint32_t destination, uint16_t port, const void* data,
             size_t length) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(destination);
    iovec io{const_cast<void*>(data), length};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(source);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    for (;;) {
        const ssize_t sent = ::sendmsg(socket, &message, 0);
        if (sent >= 0 || errno != EINTR) return static_cast<int>(sent);
    }
}

std::map<uint32_t, int> LocalAddresses() {
    std::map<uint32_t, int> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return addresses;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        addresses[ntohl(address->sin_addr.s_addr)] = static_cast<int>(::if_nametoindex(entry->ifa_name));
    }
    ::freeifaddrs(list);
    return addresses;
}

std::string Endpoint(uint32_t address, uint16_t port) {
    return FormatAddress(address) + ":" + std::to_string(port);
}

}  // namespace devsim
