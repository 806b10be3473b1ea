#pragma once

#include <atomic>
#include <cstdint>

#include "support/bounded_thread.h"
#include "support/udp_socket.h"

namespace quillane {

// Called on the endpoint's receive thread for each datagram; `data` is valid
// only during the call, `length` is at least 1.
using UdpReceiveCallback = void (*)(const sockaddr_in* from, const uint8_t* data, int length, void* user);

// One bound UDP socket with its own receive thread. Embedded by value in its
// owner; a destroyed record closes itself as UdpEndpointClose does.
struct ST_UDP_ENDPOINT_tag {
    SocketHandle socket = kInvalidSocket;
    UdpReceiveCallback callback = nullptr;
    sockaddr_in localAddress{};
    std::atomic<int32_t> runFlag{0};
    BoundedThread thread;
    void* user = nullptr;
    uint32_t membershipGroup = 0;      // network order, filled by the owner before joining
    uint32_t membershipInterface = 0;  // network order; 0 = any interface

    ST_UDP_ENDPOINT_tag() = default;
    ST_UDP_ENDPOINT_tag(const ST_UDP_ENDPOINT_tag&) = delete;
    ST_UDP_ENDPOINT_tag& operator=(const ST_UDP_ENDPOINT_tag&) = delete;
    ~ST_UDP_ENDPOINT_tag();
};

inline constexpr int kEndpointBufferBytes = 500000;  // SO_RCVBUF and SO_SNDBUF
inline constexpr int kEndpointMaxDatagram = 5000;    // longer datagrams are dropped
inline constexpr int kEndpointMulticastTtl = 100;
inline constexpr int kEndpointPollMs = 20;              // receive wait per pass
inline constexpr uint32_t kEndpointCloseWaitMs = 2000;  // bound on the thread's end

// Creates, binds (any address, `port`; 0 picks a free port), makes non-blocking
// and sizes the socket. 1 on success, 0 on failure. Does not start the thread.
int UdpEndpointOpen(ST_UDP_ENDPOINT_tag& endpoint, uint16_t port, UdpReceiveCallback callback, void* user);
// Joins the record's membership group on its socket; true on success.
bool UdpEndpointJoinGroup(ST_UDP_ENDPOINT_tag& endpoint, uint32_t group, uint32_t interfaceAddress);
// Sets the run flag to 1 and starts the receive thread; true when it started.
bool UdpEndpointStart(ST_UDP_ENDPOINT_tag& endpoint);
// Thread procedure: runs the receive loop on a non-null record; returns 1.
int UdpEndpointThread(void* parameter);
// Delivers datagrams to the callback while the run flag is 1.
void UdpEndpointReceiveLoop(ST_UDP_ENDPOINT_tag& endpoint);
// The port the socket is bound to (host order); 0 when there is no socket.
uint16_t UdpEndpointLocalPort(const ST_UDP_ENDPOINT_tag& endpoint);
// Stops the thread (waiting at most 2000 ms) and closes the socket. Returns the
// socket close result, or -1 when there was no socket.
int UdpEndpointClose(ST_UDP_ENDPOINT_tag& endpoint);

}  // namespace quillane
