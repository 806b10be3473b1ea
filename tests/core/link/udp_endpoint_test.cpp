#include "link/udp_endpoint.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "support/event.h"

using namespace quillane;

namespace {

// Collects delivered datagrams; signals on each one.
struct Sink {
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> datagrams;
    Event arrived;

    static void Callback(const sockaddr_in*, const uint8_t* data, int length, void* user) {
        auto* sink = static_cast<Sink*>(user);
        {
            std::lock_guard lock(sink->mutex);
            sink->datagrams.emplace_back(data, data + length);
        }
        sink->arrived.Set();
    }
    size_t Count() {
        std::lock_guard lock(mutex);
        return datagrams.size();
    }
};

class EndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(UdpEndpointOpen(endpoint, 0, &Sink::Callback, &sink), 1);
        port = SocketLocalPort(endpoint.socket);
        ASSERT_NE(port, 0);
        ASSERT_TRUE(UdpEndpointStart(endpoint));
        sender = UdpSocketCreate();
    }
    void TearDown() override { SocketClose(sender); }

    void Send(size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
        ASSERT_EQ(SocketSendTo(sender, bytes.data(), bytes.size(), MakeAddress(htonl(INADDR_LOOPBACK), port)),
                  static_cast<int>(size));
    }

    Sink sink;
    ST_UDP_ENDPOINT_tag endpoint;
    uint16_t port = 0;
    SocketHandle sender = kInvalidSocket;
};

}  // namespace

TEST_F(EndpointTest, DeliversUpTo5000BytesWholeAndDropsLongerOnes) {
    Send(5001);  // dropped, never delivered cut
    Send(5000);
    ASSERT_TRUE(sink.arrived.Wait(2000));
    Send(1);
    ASSERT_TRUE(sink.arrived.Wait(2000));
    std::lock_guard lock(sink.mutex);
    ASSERT_EQ(sink.datagrams.size(), 2u);
    EXPECT_EQ(sink.datagrams[0].size(), 5000u);
    EXPECT_EQ(sink.datagrams[0][4999], static_cast<uint8_t>(4999 * 7));
    EXPECT_EQ(sink.datagrams[1].size(), 1u);
}

TEST_F(EndpointTest, CloseStopsTheReceiveThreadWithinItsBound) {
    Send(16);
    ASSERT_TRUE(sink.arrived.Wait(2000));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(UdpEndpointClose(endpoint), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(endpoint.socket, kInvalidSocket);
    EXPECT_FALSE(endpoint.thread.Joinable());
}

// Datagrams that wait in the socket while the close is in progress (the
// receive thread still busy with an earlier one) are never delivered.
TEST(Endpoint, DatagramsWaitingDuringTheCloseAreNotDelivered) {
    struct HeldSink {
        std::mutex mutex;
        int delivered = 0;
        Event inCallback, release;
        static void Callback(const sockaddr_in*, const uint8_t*, int, void* user) {
            auto* self = static_cast<HeldSink*>(user);
            {
                std::lock_guard lock(self->mutex);
                ++self->delivered;
            }
            self->inCallback.Set();
            self->release.Wait(5000);
        }
    } sink;
    ST_UDP_ENDPOINT_tag endpoint;
    ASSERT_EQ(UdpEndpointOpen(endpoint, 0, &HeldSink::Callback, &sink), 1);
    const sockaddr_in to = MakeAddress(htonl(INADDR_LOOPBACK), SocketLocalPort(endpoint.socket));
    ASSERT_TRUE(UdpEndpointStart(endpoint));
    const SocketHandle sender = UdpSocketCreate();
    const uint8_t byte = 1;
    SocketSendTo(sender, &byte, 1, to);
    ASSERT_TRUE(sink.inCallback.Wait(2000));

    SocketSendTo(sender, &byte, 1, to);  // queued before the close request
    std::thread closer([&] { UdpEndpointClose(endpoint); });
    for (int i = 0; i < 200 && endpoint.runFlag.load() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(endpoint.runFlag.load(), 0) << "the close never began";
    for (int i = 0; i < 3; ++i) SocketSendTo(sender, &byte, 1, to);  // while the close waits for the thread
    sink.release.Set();
    closer.join();
    SocketClose(sender);
    std::lock_guard lock(sink.mutex);
    EXPECT_EQ(sink.delivered, 1);
}

TEST(Endpoint, CloseWithoutSocketReturnsMinusOneAndStopsThread) {
    ST_UDP_ENDPOINT_tag never;
    EXPECT_EQ(UdpEndpointClose(never), -1);

    ST_UDP_ENDPOINT_tag noSocket;  // open failed before a socket existed: the loop still runs, idly
    ASSERT_TRUE(UdpEndpointStart(noSocket));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(UdpEndpointClose(noSocket), -1);
    EXPECT_FALSE(noSocket.thread.Joinable());
}

TEST(Endpoint, WithoutCallbackDatagramsAreConsumed) {
    ST_UDP_ENDPOINT_tag endpoint;
    ASSERT_EQ(UdpEndpointOpen(endpoint, 0, nullptr, nullptr), 1);
    const uint16_t port = SocketLocalPort(endpoint.socket);
    ASSERT_TRUE(UdpEndpointStart(endpoint));
    SocketHandle sender = UdpSocketCreate();
    const uint8_t byte = 1;
    SocketSendTo(sender, &byte, 1, MakeAddress(htonl(INADDR_LOOPBACK), port));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    uint8_t buffer[8];
    EXPECT_EQ(SocketReceiveFrom(endpoint.socket, buffer, sizeof buffer, nullptr), -1) << "already consumed";
    SocketClose(sender);
}
