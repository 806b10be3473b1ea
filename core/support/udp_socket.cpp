#include "support/udp_socket.h"

#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quillane {

bool SocketStartup() {
#ifdef _WIN32
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
#else
    return true;
#endif
}

void SocketCleanup() {
#ifdef _WIN32
    WSACleanup();
#endif
}

SocketHandle UdpSocketCreate() {
#ifdef _WIN32
    // Winsock refuses every socket until it is started. Started once here, it
    // stays up until the process ends, whoever creates the first socket.
    static const bool started = SocketStartup();
    (void)started;
#endif
#ifdef SOCK_CLOEXEC
    // Helper programs the tool starts must not inherit its ports.
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
#else
    return ::socket(AF_INET, SOCK_DGRAM, 0);
#endif
}

int SocketClose(SocketHandle socket) {
#ifdef _WIN32
    return closesocket(socket);
#else
    return ::close(socket);
#endif
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = address;
    return a;
}

bool SocketBind(SocketHandle socket, uint32_t address, uint16_t port) {
    const sockaddr_in a = MakeAddress(address, port);
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

BindFailure ProbeUdpBind(uint16_t port) {
    SocketStartup();
    const SocketHandle socket = UdpSocketCreate();
    if (socket == kInvalidSocket) {
        SocketCleanup();
        return BindFailure::Other;
    }
    BindFailure failure = BindFailure::None;
    if (!SocketBind(socket, htonl(INADDR_ANY), port)) {
#ifdef _WIN32
        const int error = WSAGetLastError();
        failure = error == WSAEADDRINUSE ? BindFailure::InUse
                  : error == WSAEACCES   ? BindFailure::NotPermitted
                                         : BindFailure::Other;
#else
        const int error = errno;
        failure = error == EADDRINUSE                   ? BindFailure::InUse
                  : (error == EACCES || error == EPERM) ? BindFailure::NotPermitted
                                                        : BindFailure::Other;
#endif
    }
    SocketClose(socket);
    SocketCleanup();
    return failure;
}

uint16_t SocketLocalPort(SocketHandle socket) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

bool SocketConnect(SocketHandle socket, const sockaddr_in& peer) {
    return ::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

bool SocketSetNonBlocking(SocketHandle socket) {
#ifdef _WIN32
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
#else
    const int flags = ::fcntl(socket, F_GETFL, 0);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
#endif
}

bool SocketSetIntOption(SocketHandle socket, int level, int name, int value) {
    return ::setsockopt(socket, level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

bool SocketSetBroadcast(SocketHandle socket, bool on) {
    return SocketSetIntOption(socket, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0);
}

bool SocketSetReuseAddress(SocketHandle socket, bool on) {
    return SocketSetIntOption(socket, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0);
}

bool SocketJoinGroup(SocketHandle socket, uint32_t group, uint32_t interfaceAddress) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = group;
    request.imr_interface.s_addr = interfaceAddress;
    return ::setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&request),
                        sizeof request) == 0;
}

bool SocketSetMulticastInterface(SocketHandle socket, uint32_t interfaceAddress) {
    in_addr a{};
    a.s_addr = interfaceAddress;
    return ::setsockopt(socket, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&a), sizeof a) ==
           0;
}

int SocketSendTo(SocketHandle socket, const void* data, size_t length, const sockaddr_in& to) {
    return static_cast<int>(::sendto(socket, static_cast<const char*>(data), static_cast<int>(length), 0,
                                     reinterpret_cast<const sockaddr*>(&to), sizeof to));
}

int SocketSend(SocketHandle socket, const void* data, size_t length) {
    return static_cast<int>(::send(socket, static_cast<const char*>(data), static_cast<int>(length), 0));
}

int SocketReceiveFrom(SocketHandle socket, void* buffer, size_t capacity, sockaddr_in* from) {
    sockaddr_in sender{};
#ifdef _WIN32
    int len = sizeof sender;
    const int n = ::recvfrom(socket, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                             reinterpret_cast<sockaddr*>(&sender), &len);
    if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEMSGSIZE ? kDatagramTooLong : -1;
#else
    // recvfrom cuts an oversized datagram silently; recvmsg says so in MSG_TRUNC.
    iovec io{buffer, capacity};
    msghdr msg{};
    msg.msg_name = &sender;
    msg.msg_namelen = sizeof sender;
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    const ssize_t n = ::recvmsg(socket, &msg, 0);
    if (n < 0) return -1;
    if (msg.msg_flags & MSG_TRUNC) return kDatagramTooLong;
#endif
    if (from) *from = sender;
    return static_cast<int>(n);
}

bool SocketPeekSender(SocketHandle socket, sockaddr_in& from) {
    sockaddr_in sender{};
    char byte = 0;
#ifdef _WIN32
    int len = sizeof sender;
    const int n = ::recvfrom(socket, &byte, 1, MSG_PEEK, reinterpret_cast<sockaddr*>(&sender), &len);
    // A datagram longer than the byte asked for is reported as an error, with the sender filled in.
    if (n == SOCKET_ERROR && WSAGetLastError() != WSAEMSGSIZE) return false;
#else
    socklen_t len = sizeof sender;
    if (::recvfrom(socket, &byte, 1, MSG_PEEK, reinterpret_cast<sockaddr*>(&sender), &len) < 0) return false;
#endif
    from = sender;
    return true;
}

int SocketWaitReadable(SocketHandle socket, int timeoutMs) {
#ifdef _WIN32
    WSAPOLLFD fd{};
    fd.fd = socket;
    fd.events = POLLRDNORM;
    const int n = WSAPoll(&fd, 1, timeoutMs);
    if (n < 0) return -1;
    return (n > 0 && (fd.revents & (POLLRDNORM | POLLERR | POLLHUP))) ? 1 : 0;
#else
    if (socket < 0) return -1;
    pollfd fd{socket, POLLIN, 0};
    const int n = ::poll(&fd, 1, timeoutMs);
    if (n < 0) return -1;
    if (n > 0 && (fd.revents & POLLNVAL)) return -1;
    return (n > 0 && (fd.revents & (POLLIN | POLLERR))) ? 1 : 0;
#endif
}

}  // namespace quillane
