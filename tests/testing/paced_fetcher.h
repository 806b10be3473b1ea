#pragma once

// A device fetching its firmware over loopback: a TFTP read from a source
// address of its own, each block acknowledged after a pause, so a test can
// hold transfers in flight. It ends when the server stops answering (or sends
// an error), after the last block, or with the object.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "support/udp_socket.h"

namespace quillane::test {

class PacedFetcher {
public:
    PacedFetcher(const std::string& sourceAddress, uint16_t serverPort, const std::string& file,
                 std::chrono::milliseconds pace)
        : m_thread([=, this] { Run(sourceAddress, serverPort, file, pace); }) {}
    ~PacedFetcher() {
        m_stop = true;
        m_thread.join();
    }
    PacedFetcher(const PacedFetcher&) = delete;
    PacedFetcher& operator=(const PacedFetcher&) = delete;

    uint32_t BlocksReceived() const { return m_blocks.load(); }

private:
    void Run(const std::string& sourceAddress, uint16_t serverPort, const std::string& file,
             std::chrono::milliseconds pace) {
        const SocketHandle socket = UdpSocketCreate();
        SocketBind(socket, ParseIPv4(sourceAddress), 0);
        const std::string fields = file + '\0' + "octet" + '\0';
        std::vector<uint8_t> request{0, 1};  // read request
        request.insert(request.end(), fields.begin(), fields.end());
        SocketSendTo(socket, request.data(), request.size(), MakeAddress(htonl(INADDR_LOOPBACK), serverPort));
        uint8_t buffer[600];
        while (!m_stop.load() && SocketWaitReadable(socket, 1000) == 1) {
            sockaddr_in from{};
            const int n = SocketReceiveFrom(socket, buffer, sizeof buffer, &from);
            if (n < 4 || buffer[1] != 3) break;  // not a data block: an error, or the end
            ++m_blocks;
            std::this_thread::sleep_for(pace);
            const uint8_t ack[4] = {0, 4, buffer[2], buffer[3]};
            SocketSendTo(socket, ack, sizeof ack, from);
            if (n < 516) break;
        }
        SocketClose(socket);
    }

    std::atomic<bool> m_stop{false};
    std::atomic<uint32_t> m_blocks{0};
    std::thread m_thread;
};

}  // namespace quillane::test
