// Learns devices' hardware addresses as an upgrade run does, for the lab:
// for each address sends one datagram to its discard port (so the system
// resolves it, as it does for a unicast command), then reads the neighbour
// table with the run's bounded wait and prints
//   A.B.C.D aa:bb:cc:dd:ee:ff MS      or      A.B.C.D unknown MS
// Only ever run inside a lab namespace.
//
//   neighbour_lookup_e2e ADDRESS...

#include <chrono>
#include <cstdio>

#include "link/neighbour_table.h"
#include "support/udp_socket.h"

using namespace quillane;

int main(int argc, char** argv) {
    const SocketHandle socket = UdpSocketCreate();
    for (int i = 1; i < argc; ++i) {
        const IPv4Address address = IPv4Address::Parse(argv[i]);
        const auto start = std::chrono::steady_clock::now();
        SocketSendTo(socket, "x", 1, MakeAddress(address.NetworkOrder(), 9));
        const auto learned = LearnHardwareAddress(address);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::printf("%s %s %lld\n", address.ToString().c_str(),
                    learned ? HardwareAddressText(*learned).c_str() : "unknown",
                    static_cast<long long>(ms.count()));
    }
    SocketClose(socket);
    return 0;
}
