#include "link/adapter_multicast.h"

namespace quillane {

int JoinGroupOnEachInterface(SocketHandle socket, uint32_t group, const std::vector<uint32_t>& interfaces) {
    int joined = 0;
    for (uint32_t address : interfaces) joined += SocketJoinGroup(socket, group, address) ? 1 : 0;
    return joined;
}

int SendOnEachInterface(SocketHandle socket, const sockaddr_in& to, const void* data, size_t length,
                        int copies, const std::vector<uint32_t>& interfaces) {
    int used = 0;
    for (uint32_t address : interfaces) {
        if (!SocketSetMulticastInterface(socket, address)) continue;
        ++used;
        for (int copy = 0; copy < copies; ++copy) SocketSendTo(socket, data, length, to);
    }
    if (used > 0) {
        // Other group commands (the group form of an address change) keep
        // leaving by the route the system chooses.
        SocketSetMulticastInterface(socket, htonl(INADDR_ANY));
        return used;
    }
    for (int copy = 0; copy < copies; ++copy) SocketSendTo(socket, data, length, to);
    return 0;
}

}  // namespace quillane
