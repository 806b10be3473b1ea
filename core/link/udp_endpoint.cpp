#include "link/udp_endpoint.h"

#include <chrono>
#include <thread>
#include <vector>

namespace quillane {

ST_UDP_ENDPOINT_tag::~ST_UDP_ENDPOINT_tag() {
    UdpEndpointClose(*this);
}

int UdpEndpointOpen(ST_UDP_ENDPOINT_tag& endpoint, uint16_t port, UdpReceiveCallback callback, void* user) {
    SocketStartup();
    endpoint.socket = UdpSocketCreate();
    if (endpoint.socket == kInvalidSocket) {
        SocketCleanup();
        return 0;
    }
    endpoint.user = user;
    endpoint.localAddress = MakeAddress(htonl(INADDR_ANY), port);
    if (!SocketBind(endpoint.socket, endpoint.localAddress.sin_addr.s_addr, port)) {
        SocketCleanup();
        return 0;  // the socket stays in the record; Close releases it
    }
    SocketSetNonBlocking(endpoint.socket);
    if (!SocketSetIntOption(endpoint.socket, SOL_SOCKET, SO_RCVBUF, kEndpointBufferBytes) ||
        !SocketSetIntOption(endpoint.socket, SOL_SOCKET, SO_SNDBUF, kEndpointBufferBytes)) {
        SocketClose(endpoint.socket);
        endpoint.socket = kInvalidSocket;
        SocketCleanup();
        return 0;
    }
    SocketSetIntOption(endpoint.socket, IPPROTO_IP, IP_MULTICAST_TTL, kEndpointMulticastTtl);
    endpoint.callback = callback;
    return 1;
}

uint16_t UdpEndpointLocalPort(const ST_UDP_ENDPOINT_tag& endpoint) {
    return endpoint.socket == kInvalidSocket ? 0 : SocketLocalPort(endpoint.socket);
}

bool UdpEndpointJoinGroup(ST_UDP_ENDPOINT_tag& endpoint, uint32_t group, uint32_t interfaceAddress) {
    endpoint.membershipGroup = group;
    endpoint.membershipInterface = interfaceAddress;
    return SocketJoinGroup(endpoint.socket, group, interfaceAddress);
}

bool UdpEndpointStart(ST_UDP_ENDPOINT_tag& endpoint) {
    endpoint.runFlag.store(1);
    return endpoint.thread.Start("endpoint receive", [&endpoint] { UdpEndpointThread(&endpoint); });
}

int UdpEndpointThread(void* parameter) {
    if (parameter) UdpEndpointReceiveLoop(*static_cast<ST_UDP_ENDPOINT_tag*>(parameter));
    return 1;
}

void UdpEndpointReceiveLoop(ST_UDP_ENDPOINT_tag& endpoint) {
    std::vector<uint8_t> buffer(kEndpointMaxDatagram);
    while (endpoint.runFlag.load() == 1) {
        const int ready = SocketWaitReadable(endpoint.socket, kEndpointPollMs);
        if (ready < 0) {
            // No usable socket (the open failed): keep to the pass rhythm without spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(kEndpointPollMs));
            continue;
        }
        if (ready == 0) continue;
        // Take everything already waiting before polling again: a burst of
        // replies costs one receive call per datagram, not two system calls.
        while (endpoint.runFlag.load() == 1) {
            sockaddr_in from{};
            const int n = SocketReceiveFrom(endpoint.socket, buffer.data(), buffer.size(), &from);
            if (n == -1) break;    // nothing more waiting (the socket is non-blocking), or an error
            if (n <= 0) continue;  // empty and oversized datagrams are skipped
            if (endpoint.runFlag.load() != 1) return;  // read after the close request: not delivered
            if (endpoint.callback) endpoint.callback(&from, buffer.data(), n, endpoint.user);
        }
    }
}

int UdpEndpointClose(ST_UDP_ENDPOINT_tag& endpoint) {
    endpoint.runFlag.store(0);
    endpoint.thread.Stop(kEndpointCloseWaitMs);
    if (endpoint.socket == kInvalidSocket) return -1;
    const int result = SocketClose(endpoint.socket);
    endpoint.socket = kInvalidSocket;
    return result;
}

}  // namespace quillane
