#pragma once

// Loopback helpers for the TFTP tests: a client socket that speaks raw TFTP,
// and a recorder for the server's callbacks.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/tftp_packets.h"
#include "link/tftp_server.h"
#include "support/exe_dir.h"
#include "support/udp_socket.h"
#include "testing/temp_folder.h"

namespace quillane::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Word(uint16_t value) {
    return {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value & 0xFF)};
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes Text(const std::string& text, bool terminated = true) {
    Bytes bytes(text.begin(), text.end());
    if (terminated) bytes.push_back(0);
    return bytes;
}

inline Bytes Request(uint16_t opcode, const std::string& name, const std::string& mode = "octet",
                     const std::vector<std::pair<std::string, std::string>>& options = {}) {
    Bytes packet = Word(opcode) + Text(name) + Text(mode);
    for (const auto& [key, value] : options) packet = packet + Text(key) + Text(value);
    return packet;
}

inline Bytes Ack(uint16_t block) {
    return Word(kTftpAck) + Word(block);
}

struct Packet {
    Bytes bytes;
    sockaddr_in from{};
    uint16_t Opcode() const { return ReadTftpWord(bytes.data(), bytes.size(), 0); }
    uint16_t Word2() const { return ReadTftpWord(bytes.data(), bytes.size(), 2); }  // block or error code
    std::string ErrorText() const { return ParseTftpError(bytes.data(), bytes.size()).text; }
    size_t DataLength() const { return bytes.size() >= 4 ? bytes.size() - 4 : 0; }
    uint16_t FromPort() const { return ntohs(from.sin_port); }
};

// A client socket on 127.0.0.1 (or another loopback address, host order)
// with a port of its own.
class LoopbackClient {
public:
    explicit LoopbackClient(uint16_t serverPort, uint32_t localAddress = INADDR_LOOPBACK)
        : m_server(MakeAddress(htonl(INADDR_LOOPBACK), serverPort)) {
        m_socket = UdpSocketCreate();
        SocketBind(m_socket, htonl(localAddress), 0);
    }
    ~LoopbackClient() { Close(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    void Close() {
        if (m_socket != kInvalidSocket) SocketClose(m_socket);
        m_socket = kInvalidSocket;
    }
    uint16_t Port() const { return SocketLocalPort(m_socket); }

    void SendToServer(const Bytes& bytes) { SocketSendTo(m_socket, bytes.data(), bytes.size(), m_server); }
    void SendToTransfer(const Bytes& bytes) {
        SocketSendTo(m_socket, bytes.data(), bytes.size(), m_transfer);
    }
    void SendTo(uint16_t port, const Bytes& bytes) {
        SocketSendTo(m_socket, bytes.data(), bytes.size(), MakeAddress(htonl(INADDR_LOOPBACK), port));
    }

    // The next datagram within `timeoutMs`; the first one from a port other
    // than the server's names the transfer port.
    std::optional<Packet> Receive(int timeoutMs = 3000) {
        if (SocketWaitReadable(m_socket, timeoutMs) <= 0) return std::nullopt;
        Packet packet;
        packet.bytes.resize(70000);
        const int n = SocketReceiveFrom(m_socket, packet.bytes.data(), packet.bytes.size(), &packet.from);
        if (n < 0) return std::nullopt;
        packet.bytes.resize(static_cast<size_t>(n));
        if (packet.from.sin_port != m_server.sin_port && m_transfer.sin_port == 0) m_transfer = packet.from;
        return packet;
    }
    uint16_t TransferPort() const { return ntohs(m_transfer.sin_port); }

    // Fetches the whole file after the request was sent, acknowledging each
    // block; nullopt when the transfer did not complete.
    std::optional<Bytes> FetchRest(std::optional<Packet> first) {
        Bytes content;
        uint16_t expected = 1;
        for (std::optional<Packet> packet = std::move(first); packet; packet = Receive()) {
            if (packet->Opcode() == kTftpOptionAck) {
                SendToTransfer(Ack(0));
                continue;
            }
            if (packet->Opcode() != kTftpData) return std::nullopt;
            if (packet->Word2() != expected) continue;
            content.insert(content.end(), packet->bytes.begin() + 4, packet->bytes.end());
            SendToTransfer(Ack(expected));
            ++expected;
            if (packet->DataLength() < kTftpBlockSize) return content;
        }
        return std::nullopt;
    }

private:
    SocketHandle m_socket = kInvalidSocket;
    sockaddr_in m_server{};
    sockaddr_in m_transfer{};
};

// Records the server's callbacks; the server's window pointer points here.
struct CallbackRecorder : TransferObserver {
    std::mutex mutex;
    std::condition_variable changed;
    int progress = 0, finished = 0, abandoned = 0, delivered = 0;
    uint32_t lastNextBlock = 0;
    uint32_t lastFileSize = 0;
    sockaddr_in lastClient{};

    // Runs on the transfer thread before each progress report is recorded.
    std::function<void()> onProgress;

    void TransferProgressed(const sockaddr_in& client, const TransferDelivery& delivery) override {
        if (onProgress) onProgress();
        std::lock_guard lock(mutex);
        ++progress;
        lastNextBlock = delivery.nextBlock;
        lastFileSize = delivery.fileSize;
        lastClient = client;
    }
    void TransferFinished(const sockaddr_in& client, bool wasDelivered) override {
        {
            std::lock_guard lock(mutex);
            ++finished;
            if (wasDelivered) ++delivered;
            lastClient = client;
        }
        changed.notify_all();
    }
    void TransferAbandoned(const sockaddr_in& client) override {
        {
            std::lock_guard lock(mutex);
            ++abandoned;
            lastClient = client;
        }
        changed.notify_all();
    }
    // Waits until a transfer has ended (finished or abandoned) `count` times.
    bool WaitForEnds(int count, int timeoutMs = 10000) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return finished + abandoned >= count; });
    }
};

inline Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
    return bytes;
}

}  // namespace quillane::test
