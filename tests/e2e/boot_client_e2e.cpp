// A device loader's side of the boot-address exchange, for the lab: sends one
// boot request (BOOTP layout, 300 bytes unless --size says otherwise) to the
// broadcast address on port 67 from port 68 and prints the reply:
//   yiaddr A.B.C.D siaddr A.B.C.D op N file PATH
// or "no reply" (exit 1) after the wait. Only ever run inside a lab namespace.
//
//   boot_client_e2e [--size N] [--wait-ms N]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/udp_socket.h"

using namespace quillane;

int main(int argc, char** argv) {
    size_t size = 300;
    int waitMs = 2000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0)
            size = std::strtoul(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--wait-ms") == 0)
            waitMs = std::atoi(argv[++i]);
    }
    const SocketHandle socket = UdpSocketCreate();
    SocketSetBroadcast(socket, true);
    SocketSetReuseAddress(socket, true);
    if (!SocketBind(socket, htonl(INADDR_ANY), 68)) {
        std::perror("bind 68");
        return 2;
    }
    std::vector<uint8_t> request(size, 0);
    if (size >= 44) {
        request[0] = 1;  // boot request
        request[1] = 1;  // Ethernet
        request[2] = 6;
        const uint8_t xid[4] = {0x51, 0x75, 0x69, 0x6c};
        std::memcpy(&request[4], xid, 4);
        const uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
        std::memcpy(&request[28], mac, 6);
    }
    if (size >= 300) std::memcpy(&request[108], "stale-bytes-from-the-loader", 27);
    SocketSendTo(socket, request.data(), request.size(), MakeAddress(htonl(INADDR_BROADCAST), 67));
    std::vector<uint8_t> reply(2048);
    while (SocketWaitReadable(socket, waitMs) > 0) {
        const int n = SocketReceiveFrom(socket, reply.data(), reply.size(), nullptr);
        if (n <= 0 || (n >= 1 && reply[0] == 1)) continue;  // our own broadcast or noise
        if (n != 300) {
            std::printf("reply of %d bytes\n", n);
            return 1;
        }
        uint32_t yiaddr, siaddr;
        std::memcpy(&yiaddr, &reply[16], 4);
        std::memcpy(&siaddr, &reply[20], 4);
        const std::string file(reinterpret_cast<const char*>(&reply[108]),
                               strnlen(reinterpret_cast<const char*>(&reply[108]), 128));
        std::printf("yiaddr %s siaddr %s op %u file %s\n", FormatIPv4(yiaddr).c_str(),
                    FormatIPv4(siaddr).c_str(), unsigned(reply[0]), file.c_str());
        return 0;
    }
    std::printf("no reply\n");
    return 1;
}
