#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <memory>

#include "support/utf8_files.h"
#include "testing/wine.h"
#include "tftp_test_support.h"

using namespace quillane;
using namespace quillane::test;

namespace {

std::tm FixedDay() {
    std::tm day{};
    day.tm_year = 126;
    day.tm_mon = 11;
    day.tm_mday = 10;
    day.tm_yday = 343;
    day.tm_hour = 3;
    day.tm_min = 4;
    day.tm_sec = 5;
    return day;
}

class TftpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder.File("log"));
        served = folder.Write("fw.bin", Pattern(1500));
    }

    // One "second" of a transfer's timeout lasts `secondMs` here, so three
    // expiries take a fraction of a second.
    void StartServer(uint32_t secondMs = 20, uint32_t passWaitMs = 20,
                     std::function<std::string()> servedFile = nullptr) {
        settings.listenAddress = htonl(INADDR_LOOPBACK);
        settings.listenPort = 0;
        settings.minPort = 0;  // the system picks each transfer's port
        settings.maxPort = 1;
        settings.executablePath = folder.File("quillane");
        settings.servedFile = servedFile ? servedFile : [this] { return served; };
        settings.localTime = FixedDay;
        settings.secondMs = secondMs;
        settings.passWaitMs = passWaitMs;
        settings.observer = &recorder;
        ASSERT_TRUE(server.Start(settings));
        ASSERT_NE(server.ListenPort(), 0);
    }

    std::string Log() const { return folder.ReadText(folder.LogFile("quillane20261210.log")); }
    // The name as the log shows it: local separators, no leading one.
    // The log names the file as requested, without a leading separator.
    std::string LoggedName() const { return served.front() == kPathSeparator ? served.substr(1) : served; }

    bool WaitForThreads(size_t count) {
        for (int i = 0; i < 500 && server.ThreadCount() != count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return server.ThreadCount() == count;
    }

    TempFolder folder;
    std::string served;
    CallbackRecorder recorder;
    TftpServerSettings settings;
    TftpServer server;  // last: stopped before the recorder and the folder go
};

TEST_F(TftpServerTest, ServesFilesOfEveryLengthWholeAndCountsTheirBlocks) {
    StartServer();
    const size_t sizes[] = {0, 511, 512, 513, 1024, 1537};
    int ends = 0;
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        const Bytes content = Pattern(size);
        served = folder.Write("fw.bin", content);
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served));
        EXPECT_EQ(client.FetchRest(client.Receive()), content);
        ASSERT_TRUE(recorder.WaitForEnds(++ends));
        const std::string line = "Client 127.0.0.1:" + std::to_string(client.Port()) + " " + LoggedName() +
                                 ", " + std::to_string(size / 512 + 1) + " Blocks Served\n";
        EXPECT_NE(Log().find(line), std::string::npos) << Log();
    }
    EXPECT_EQ(recorder.finished, ends);
    EXPECT_EQ(recorder.delivered, ends);
    EXPECT_EQ(recorder.abandoned, 0);
    EXPECT_EQ(recorder.lastFileSize, 1537u);  // found without the tsize option too
}

TEST_F(TftpServerTest, AcceptsTheServedFileUnderEverySpellingOfItsPath) {
    StartServer();
    const char local = kPathSeparator;
    const char foreign = local == '/' ? '\\' : '/';
    std::string foreignSeparators = served;
    std::replace(foreignSeparators.begin(), foreignSeparators.end(), local, foreign);
    // "/tmp/fw.bin" may come as "tmp/fw.bin"; "C:\fw.bin" as "\C:\fw.bin".
    const std::string otherLead = served.front() == local ? served.substr(1) : local + served;
    // Text mode is the C library's: on Windows it reads other bytes than binary.
    std::ifstream textStream(PathFromUtf8(served));
    const Bytes asText{std::istreambuf_iterator<char>(textStream), std::istreambuf_iterator<char>()};
    struct Case {
        const char* what;
        Bytes request;
        Bytes content = Pattern(1500);
    } cases[] = {
        {"absolute", Request(kTftpReadRequest, served)},
        {"the other form of the leading separator", Request(kTftpReadRequest, otherLead)},
        {"foreign separators", Request(kTftpReadRequest, foreignSeparators)},
        {"netascii mode", Request(kTftpReadRequest, served, "netascii"), asText},
        // Without its final zero byte the mode loses a letter; any mode but
        // netascii reads binary.
        {"no final zero byte", Word(kTftpReadRequest) + Text(served) + Text("octet", false)},
    };
    int ends = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackClient client(server.ListenPort());
        client.SendToServer(c.request);
        EXPECT_EQ(client.FetchRest(client.Receive()), c.content);
        EXPECT_TRUE(recorder.WaitForEnds(++ends));
    }
}

TEST_F(TftpServerTest, RefusesBadRequestsWithoutServingAnything) {
    StartServer();
    const std::string name255(255, 'n');
    struct Case {
        const char* what;
        Bytes request;
        bool answered;
        uint16_t code;
        std::string message;
        bool fromListeningPort;
    } cases[] = {
        {"empty datagram", {}, false, 0, "Communication Error", false},
        {"one byte", {1}, true, 5, "Unknown Transfer Id", true},
        {"opcode only", Word(kTftpReadRequest), true, 4, "Malformed Request, Invalid/Missing Filename",
         false},
        {"three bytes", Word(kTftpReadRequest) + Bytes{'a'}, true, 4,
         "Malformed Request, Invalid/Missing Filename", false},
        {"two-byte error packet", Word(kTftpError), false, 0, "Error Code 0 at Client, ", false},
        {"client error", Word(kTftpError) + Word(2) + Text("nope"), false, 0, "Error Code 2 at Client, nope",
         false},
        {"data packet", Word(kTftpData) + Word(1), true, 5, "Unknown Transfer Id", true},
        {"acknowledgement", Ack(0), true, 5, "Unknown Transfer Id", true},
        {"option acknowledgement", Word(kTftpOptionAck), true, 5, "Unknown Transfer Id", true},
        {"empty name", Request(kTftpReadRequest, ""), true, 4, "Malformed Request, Invalid/Missing Filename",
         false},
        {"256-byte name", Request(kTftpReadRequest, std::string(256, 'n')), true, 4,
         "Malformed Request, Invalid/Missing Filename", false},
        {"255-byte name", Request(kTftpReadRequest, name255), true, 4, "Filename too large", false},
        {"empty mode", Request(kTftpReadRequest, served, ""), true, 4,
         "Malformed Request, Invalid/Missing Mode", false},
        {"26-byte mode", Request(kTftpReadRequest, served, std::string(26, 'o')), true, 4,
         "Malformed Request, Invalid/Missing Mode", false},
        {"parent", Request(kTftpReadRequest, "../x"), true, 2, "Access violation", false},
        {"nested parent", Request(kTftpReadRequest, "a/../../x"), true, 2, "Access violation", false},
        {"backslash parent", Request(kTftpReadRequest, "..\\x"), true, 2, "Access violation", false},
        {"parent inside the path", Request(kTftpReadRequest, folder.Dir() + "../fw.bin"), true, 2,
         "Access violation", false},
        {"other absolute file", Request(kTftpReadRequest, "/etc/passwd"), true, 2, "Access violation", false},
        {"sibling sharing the prefix", Request(kTftpReadRequest, served + ".bak"), true, 2,
         "Access violation", false},
        {"shorter prefix", Request(kTftpReadRequest, served.substr(0, served.size() - 1)), true, 2,
         "Access violation", false},
        {"file name alone", Request(kTftpReadRequest, "fw.bin"), true, 2, "Access violation", false},
        {"control characters", Request(kTftpReadRequest, served + "\x01\x1b[2J"), true, 2, "Access violation",
         false},
        {"write request", Request(kTftpWriteRequest, served), true, 2, "PUT Access Denied", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackClient client(server.ListenPort());
        client.SendToServer(c.request);
        const auto reply = client.Receive(c.answered ? 3000 : 300);
        if (!c.answered) {
            EXPECT_FALSE(reply.has_value());
        } else {
            ASSERT_TRUE(reply.has_value());
            EXPECT_EQ(reply->Opcode(), kTftpError);
            EXPECT_EQ(reply->Word2(), c.code);
            EXPECT_EQ(reply->ErrorText(), c.message);
            EXPECT_EQ(reply->FromPort() == server.ListenPort(), c.fromListeningPort);
            EXPECT_FALSE(client.Receive(50).has_value());  // and nothing else
        }
        for (int i = 0; i < 100 && Log().find(c.message) == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_NE(Log().find(", " + c.message + "\n"), std::string::npos) << Log();
    }
    EXPECT_EQ(recorder.progress + recorder.finished + recorder.abandoned, 0);
    EXPECT_TRUE(WaitForThreads(1));
}

TEST_F(TftpServerTest, RefusesAMissingFileAndAFullPortRange) {
    served = folder.File("missing.bin");
    SocketHandle holder = UdpSocketCreate();
    ASSERT_TRUE(SocketBind(holder, htonl(INADDR_ANY), 0));
    StartServer();
    {
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served));
        const auto reply = client.Receive();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->Word2(), 1);
        EXPECT_EQ(reply->ErrorText(), "File not found or No Access");
    }
    server.minPort = SocketLocalPort(holder);  // the only port of the range is taken
    server.maxPort = server.minPort + 1;
    {
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served));
        const auto reply = client.Receive();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->Word2(), 0);
        EXPECT_EQ(reply->ErrorText(), "No port is free");
        EXPECT_EQ(reply->FromPort(), server.ListenPort());
    }
    SocketClose(holder);
}

// Option acknowledgement: accepted options in the client's order and
// spelling, values as the server agrees them.
TEST_F(TftpServerTest, NegotiatesOptionsAndThenServes) {
    StartServer();
    using Options = std::vector<std::pair<std::string, std::string>>;
    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 120; ++i) many.emplace_back("x", "y");
    struct Case {
        const char* what;
        Options asked;
        Options answered;
    } cases[] = {
        {"blksize above the limit", {{"blksize", "1024"}}, {{"blksize", "512"}}},
        {"blksize below the minimum", {{"blksize", "8"}}, {{"blksize", "512"}}},
        {"blksize zero and huge",
         {{"blksize", "0"}, {"blksize", "70000"}},
         {{"blksize", "512"}, {"blksize", "512"}}},
        {"tsize then blksize", {{"tsize", "0"}, {"blksize", "512"}}, {{"tsize", "1500"}, {"blksize", "512"}}},
        {"timeout zero", {{"timeout", "0"}}, {{"timeout", "1"}}},
        {"timeout too long", {{"timeout", "300"}}, {{"timeout", "255"}}},
        {"timeout negative", {{"timeout", "-1"}}, {{"timeout", "255"}}},
        {"values not numbers",
         {{"blksize", "abc"}, {"timeout", "x"}},
         {{"blksize", "512"}, {"timeout", "1"}}},
        {"unknown only", {{"windowsize", "4"}}, {}},
        {"other case", {{"BLKSIZE", "1024"}, {"TSize", "0"}}, {}},
        {"many unknown", many, {}},
    };
    int ends = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served, "octet", c.asked));
        const auto reply = client.Receive();
        ASSERT_TRUE(reply);
        Bytes expected = Word(kTftpOptionAck);
        for (const auto& [name, value] : c.answered) expected = expected + Text(name) + Text(value);
        EXPECT_EQ(reply->bytes, expected);
        EXPECT_EQ(client.FetchRest(reply), Pattern(1500));
        ASSERT_TRUE(recorder.WaitForEnds(++ends));
    }
    EXPECT_EQ(recorder.abandoned, 0);
}

TEST_F(TftpServerTest, DuplicateAcknowledgementDoesNotResend) {
    StartServer(1000);  // a real 3 s timeout: a resend within the wait below can only come from the duplicate
    LoopbackClient client(server.ListenPort());
    client.SendToServer(Request(kTftpReadRequest, served));
    ASSERT_EQ(client.Receive()->Word2(), 1);
    client.SendToTransfer(Ack(1));
    ASSERT_EQ(client.Receive()->Word2(), 2);
    client.SendToTransfer(Ack(1));
    EXPECT_FALSE(client.Receive(500).has_value());
    client.SendToTransfer(Ack(2));
    const auto last = client.Receive();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Word2(), 3);
    EXPECT_EQ(last->DataLength(), 1500u - 1024u);
}

TEST_F(TftpServerTest, StrayAcknowledgementsCountAsSilence) {
    StartServer(100);
    LoopbackClient client(server.ListenPort());
    LoopbackClient stranger(server.ListenPort());
    client.SendToServer(Request(kTftpReadRequest, served));
    ASSERT_EQ(client.Receive()->Word2(), 1);
    client.SendToTransfer(Ack(0));                   // stale
    client.SendToTransfer(Ack(7));                   // from the future
    stranger.SendTo(client.TransferPort(), Ack(1));  // right block, wrong port
    const auto next = client.Receive();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->Opcode(), kTftpData);
    EXPECT_EQ(next->Word2(), 1);  // resent on expiry, not advanced
    EXPECT_FALSE(stranger.Receive(50).has_value());
    client.SendToTransfer(Ack(1));
    EXPECT_EQ(client.Receive()->Word2(), 2);
}

TEST_F(TftpServerTest, ThreeExpiriesEndInTimeoutAndAbandonment) {
    StartServer();
    struct Case {
        const char* what;
        Bytes request;
        uint16_t opcode;
    } cases[] = {
        {"data unanswered", Request(kTftpReadRequest, served), kTftpData},
        {"option acknowledgement unanswered", Request(kTftpReadRequest, served, "octet", {{"tsize", "0"}}),
         kTftpOptionAck},
    };
    int ends = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackClient client(server.ListenPort());
        client.SendToServer(c.request);
        for (int sent = 0; sent < 3; ++sent) {
            const auto packet = client.Receive();
            ASSERT_TRUE(packet);
            EXPECT_EQ(packet->Opcode(), c.opcode);
        }
        const auto error = client.Receive();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Opcode(), kTftpError);
        EXPECT_EQ(error->Word2(), 0);
        EXPECT_EQ(error->ErrorText(), "Timeout");
        ASSERT_TRUE(recorder.WaitForEnds(++ends));
    }
    EXPECT_EQ(recorder.abandoned, 2);
    EXPECT_EQ(recorder.finished, 0);
    EXPECT_EQ(recorder.progress, 0);
}

TEST_F(TftpServerTest, DatagramsOtherThanAcknowledgementsEndTheTransfer) {
    StartServer(1000);
    struct Case {
        const char* what;
        Bytes datagram;
        bool answered;
        std::string message;
    } cases[] = {
        {"data packet", Word(kTftpData) + Word(1), true, "Unexpected Option Code 3"},
        {"short acknowledgement", Word(kTftpAck), true, "Unexpected Option Code 4"},
        {"one byte", {9}, true, "Unexpected Option Code 2304"},
        {"client error", Word(kTftpError) + Word(3) + Text("disk full"), false,
         "Error Code 3 at Client, disk full"},
        {"client error without text", Word(kTftpError), false, "Error Code 0 at Client, "},
        {"empty datagram", {}, false, "Communication Error"},
    };
    int ends = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served));
        ASSERT_EQ(client.Receive()->Word2(), 1);
        client.SendToTransfer(c.datagram);
        ASSERT_TRUE(recorder.WaitForEnds(++ends));
        const auto reply = client.Receive(c.answered ? 3000 : 100);
        EXPECT_EQ(reply.has_value(), c.answered);
        if (reply) {
            EXPECT_EQ(reply->Word2(), 4);
            EXPECT_EQ(reply->ErrorText(), c.message);
        }
        EXPECT_NE(Log().find(c.message + "\n"), std::string::npos) << Log();
    }
    EXPECT_EQ(recorder.finished, ends);
    EXPECT_EQ(recorder.delivered, 0) << "a transfer cut short is no success";
    EXPECT_EQ(recorder.abandoned, 0);
}

TEST_F(TftpServerTest, VanishedClientFreesItsThreadAndPort) {
    StartServer();
    uint16_t transferPort = 0;
    {
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served));
        ASSERT_EQ(client.Receive()->Word2(), 1);
        transferPort = client.TransferPort();
    }  // gone: the host answers the resends with port-unreachable reports
    ASSERT_TRUE(recorder.WaitForEnds(1));
    EXPECT_EQ(recorder.abandoned, 1);
    EXPECT_TRUE(WaitForThreads(1));
    SocketHandle probe = UdpSocketCreate();
    EXPECT_TRUE(SocketBind(probe, htonl(INADDR_ANY), transferPort));
    SocketClose(probe);
}

TEST_F(TftpServerTest, ConcurrentClientsGetTheirOwnPortsAndEndedThreadsAreReaped) {
    // The first transfer waits while the second is fetched whole: a real
    // second keeps a slow machine (or wine) from expiring it meanwhile.
    StartServer(/*secondMs=*/1000);
    served = folder.Write("fw.bin", Pattern(20000));
    LoopbackClient first(server.ListenPort()), second(server.ListenPort());
    first.SendToServer(Request(kTftpReadRequest, served));
    second.SendToServer(Request(kTftpReadRequest, served));
    auto firstBlock = first.Receive();
    auto secondBlock = second.Receive();
    ASSERT_TRUE(firstBlock && secondBlock);
    EXPECT_NE(first.TransferPort(), second.TransferPort());
    EXPECT_EQ(server.ThreadCount(), 3u);
    EXPECT_EQ(second.FetchRest(secondBlock), Pattern(20000));
    EXPECT_EQ(first.FetchRest(firstBlock), Pattern(20000));
    ASSERT_TRUE(recorder.WaitForEnds(2));
    for (int i = 0; i < 5; ++i) {
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served));
        EXPECT_EQ(client.FetchRest(client.Receive()), Pattern(20000));
    }
    ASSERT_TRUE(recorder.WaitForEnds(7));
    // Only the listener is left once the transfers have ended.
    EXPECT_TRUE(WaitForThreads(1));
}

TEST_F(TftpServerTest, StopEndsARunningTransferAsFinishedUndelivered) {
    StartServer(1000, 1000);
    LoopbackClient client(server.ListenPort());
    client.SendToServer(Request(kTftpReadRequest, served));
    ASSERT_EQ(client.Receive()->Word2(), 1);
    server.Stop();
    EXPECT_EQ(recorder.finished, 1);
    EXPECT_EQ(recorder.delivered, 0);
    EXPECT_EQ(recorder.abandoned, 0);
    EXPECT_EQ(server.ThreadCount(), 0u);
    // The device is told, rather than left to its retries.
    const auto told = client.Receive(0);
    ASSERT_TRUE(told);
    EXPECT_EQ(told->Opcode(), kTftpError);
    EXPECT_EQ(told->ErrorText(), "Server stopped");
}

#ifndef _WIN32
// A signal handled anywhere in the process interrupts a receive that has a
// time-out (such receives are never restarted). The transfer must take that
// as a moment of silence, not as a broken connection that ends it as finished.
std::atomic<pthread_t> g_transferThread{};
std::atomic<bool> g_transferThreadKnown{false};

void NoteTransferThread() {
    g_transferThread.store(pthread_self());
    g_transferThreadKnown.store(true);
}

TEST_F(TftpServerTest, ASignalDuringTheWaitForAnAcknowledgementIsSilence) {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    recorder.onProgress = NoteTransferThread;
    StartServer(1000, 1000);
    LoopbackClient client(server.ListenPort());
    client.SendToServer(Request(kTftpReadRequest, served));
    ASSERT_EQ(client.Receive()->Word2(), 1);
    client.SendToTransfer(Ack(1));
    const auto second = client.Receive();
    ASSERT_TRUE(second && second->Word2() == 2);
    ASSERT_TRUE(g_transferThreadKnown.load());
    // The thread now waits for the acknowledgement of block 2.
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        {
            std::lock_guard lock(recorder.mutex);
            if (recorder.finished + recorder.abandoned != 0) break;  // the thread has left
        }
        pthread_kill(g_transferThread.load(), SIGUSR1);
    }
    client.SendToTransfer(Ack(2));
    const auto third = client.Receive();
    sigaction(SIGUSR1, &previous, nullptr);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->Opcode(), kTftpData);
    EXPECT_EQ(third->Word2(), 3);
    client.SendToTransfer(Ack(3));
    ASSERT_TRUE(recorder.WaitForEnds(1));
    EXPECT_EQ(Log().find("Communication Error"), std::string::npos);
    EXPECT_NE(Log().find("3 Blocks Served"), std::string::npos);
}
#else
TEST_F(TftpServerTest, ASignalDuringTheWaitForAnAcknowledgementIsSilence) {
    GTEST_SKIP() << "Linux only: POSIX signals interrupting a receive";
}
#endif

// Blocks after 65535 are numbered 0, 1, ...; a client that does not take
// block 0 is told so when the transfer gives up.
TEST_F(TftpServerTest, BlockNumbersWrapAfter65535) {
    if (RunsUnderWine())
        GTEST_SKIP() << "under wine: 131073 datagrams through wine's server take many minutes";
    const size_t size = 65536u * 512u + 100u;
    std::filesystem::resize_file(folder.Write("big.bin", Bytes{}), size);
    served = folder.File("big.bin");
    // 131073 packets: a longer "second" keeps a slow machine (or a sanitizer
    // build) from expiring mid-transfer, which would end it with "Timeout".
    StartServer(/*secondMs=*/200);
    for (bool acknowledgesBlockZero : {true, false}) {
        SCOPED_TRACE(acknowledgesBlockZero);
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served));
        size_t received = 0;
        uint16_t expected = 1;
        std::optional<Packet> packet;
        while ((packet = client.Receive()) && packet->Opcode() == kTftpData) {
            if (packet->Word2() != expected) continue;
            received += packet->DataLength();
            if (expected == 0 && !acknowledgesBlockZero) continue;  // stays silent
            client.SendToTransfer(Ack(expected++));
            if (packet->DataLength() < 512) break;
        }
        if (acknowledgesBlockZero) {
            EXPECT_EQ(received, size);
            EXPECT_TRUE(recorder.WaitForEnds(1));
            std::lock_guard lock(recorder.mutex);
            EXPECT_EQ(recorder.lastNextBlock, 65538u) << "the next block counted past the wrap";
            continue;
        }
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->Opcode(), kTftpError);
        EXPECT_EQ(packet->ErrorText(), "Large File, Block# Rollover not supported by Client");
    }
    ASSERT_TRUE(recorder.WaitForEnds(2));
    EXPECT_EQ(recorder.finished, 1);
    EXPECT_EQ(recorder.delivered, 1);
    EXPECT_EQ(recorder.abandoned, 1);
}

// The file's size comes with every report, whether the client asked for it
// (tsize) or not: the window's percentage counts against it. The client
// named is the one served: the upgrade run finds its device by it.
TEST_F(TftpServerTest, ProgressReportsTheClientTheNextBlockAndTheFileSize) {
    StartServer();
    const std::vector<std::pair<std::string, std::string>> optionSets[] = {{{"tsize", "0"}},
                                                                           {{"blksize", "512"}}};
    int ends = 0;
    for (const auto& options : optionSets) {
        SCOPED_TRACE(options.front().first);
        recorder.progress = 0;
        recorder.lastFileSize = 0;
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, served, "octet", options));
        EXPECT_EQ(client.FetchRest(client.Receive()), Pattern(1500));
        ASSERT_TRUE(recorder.WaitForEnds(++ends));
        EXPECT_EQ(recorder.progress, 4);  // the option acknowledgement and three blocks
        EXPECT_EQ(recorder.lastNextBlock, 4);
        EXPECT_EQ(recorder.lastFileSize, 1500u);
        EXPECT_EQ(recorder.lastClient.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
        EXPECT_EQ(ntohs(recorder.lastClient.sin_port), client.Port());
    }
}

// The request is checked against the chosen file, and that very file is
// served, even when the operator chooses another one in between.
TEST_F(TftpServerTest, TheFileTheRequestWasCheckedAgainstIsServed) {
    const std::string first = folder.Write("first.bin", Pattern(700));
    const std::string second = folder.Write("second.bin", Pattern(1300));
    std::atomic<int> asked{0};
    StartServer(20, 20, [&] { return asked++ == 0 ? first : second; });
    LoopbackClient client(server.ListenPort());
    client.SendToServer(Request(kTftpReadRequest, first));
    EXPECT_EQ(client.FetchRest(client.Receive()), Pattern(700));
    server.Stop();  // before `asked` goes
}

// A client that repeats its request gets a second transfer; it takes one of
// the two and refuses the other with an error packet. Only the transfer it
// took reports an end: the refused one must not pass for the client's outcome.
TEST_F(TftpServerTest, ARepeatedRequestEndsWithOneReport) {
    StartServer();
    LoopbackClient client(server.ListenPort());
    client.SendToServer(Request(kTftpReadRequest, served));
    client.SendToServer(Request(kTftpReadRequest, served));
    const auto taken = client.Receive();
    const auto other = client.Receive();
    ASSERT_TRUE(taken && other);
    ASSERT_NE(taken->FromPort(), other->FromPort());
    client.SendTo(other->FromPort(), Word(kTftpError) + Word(5) + Text("Unknown transfer ID"));
    for (int i = 0; i < 200 && Log().find("Error Code 5 at Client") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(Log().find("Error Code 5 at Client"), std::string::npos) << "the refused transfer has ended";
    EXPECT_EQ(client.FetchRest(taken), Pattern(1500));
    ASSERT_TRUE(recorder.WaitForEnds(1));
    EXPECT_TRUE(WaitForThreads(1));
    EXPECT_EQ(recorder.finished, 1);
    EXPECT_EQ(recorder.delivered, 1);
    EXPECT_EQ(recorder.abandoned, 0);
}

// Anyone on the LAN may send read requests: only so many transfers run at
// once, and only so many for one address; a request beyond is told that the
// server is busy, and the device being upgraded still gets its file from the
// places kept for it.
TEST_F(TftpServerTest, RequestsBeyondTheBoundsAreRefusedAsBusyWhileTheUpgradedDeviceIsServed) {
    constexpr uint32_t kFlooder = 0x7F000001, kOther = 0x7F000003, kLate = 0x7F000004;  // host order
    constexpr uint32_t kDevice = 0x7F000002;
    if (RunsUnderWine()) GTEST_SKIP() << "under wine only 127.0.0.1 can be bound";
    settings.maxLiveTransfers = 4;
    settings.reservedTransfers = 1;
    settings.maxTransfersPerClient = 2;
    settings.reservedClient = [] { return htonl(kDevice); };
    StartServer(1000, 20);  // one-second seconds: the held transfers outlive the test
    std::vector<std::unique_ptr<LoopbackClient>> held;
    auto request = [&](uint32_t from) {
        held.push_back(std::make_unique<LoopbackClient>(server.ListenPort(), from));
        held.back()->SendToServer(Request(kTftpReadRequest, served));
        const auto reply = held.back()->Receive();
        return reply ? *reply : Packet{};
    };
    auto expectBusy = [&](const Packet& reply) {
        EXPECT_EQ(reply.Opcode(), kTftpError);
        EXPECT_EQ(reply.Word2(), 0);
        EXPECT_EQ(reply.ErrorText(), kTftpBusyMessage);
        EXPECT_EQ(reply.FromPort(), server.ListenPort());
    };
    EXPECT_EQ(request(kFlooder).Opcode(), kTftpData);
    EXPECT_EQ(request(kFlooder).Opcode(), kTftpData);
    expectBusy(request(kFlooder));  // its address holds its share
    EXPECT_EQ(request(kOther).Opcode(), kTftpData);
    expectBusy(request(kLate));  // the place left is kept for the device
    LoopbackClient device(server.ListenPort(), kDevice);
    device.SendToServer(Request(kTftpReadRequest, served));
    EXPECT_EQ(device.FetchRest(device.Receive()), Pattern(1500));
    EXPECT_TRUE(WaitForThreads(4)) << "the listener and the three held transfers";
    EXPECT_NE(Log().find(LoggedName() + ", " + kTftpBusyMessage), std::string::npos) << Log();
}

#ifndef _WIN32
// The transfer's name may lead to something else than a regular file by now
// (swapped for a link to a FIFO, a device, a folder): it is refused at once
// as any other name would be, and no thread stays behind.
TEST_F(TftpServerTest, OnlyARegularFileIsServedAndOpeningItNeverWaits) {
    const std::string fifo = folder.File("fifo.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string linkToFifo = folder.File("link.bin");
    ASSERT_EQ(symlink(fifo.c_str(), linkToFifo.c_str()), 0);
    const std::string subfolder = folder.File("sub");
    std::filesystem::create_directory(subfolder);
    StartServer();
    for (const std::string& path : {fifo, linkToFifo, std::string("/dev/zero"), subfolder}) {
        SCOPED_TRACE(path);
        served = path;
        LoopbackClient client(server.ListenPort());
        client.SendToServer(Request(kTftpReadRequest, path));
        const auto reply = client.Receive();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->Opcode(), kTftpError);
        EXPECT_EQ(reply->Word2(), 2);
        EXPECT_EQ(reply->ErrorText(), "Access violation");
        EXPECT_TRUE(WaitForThreads(1));
    }
}
#endif

// A file that changes while it is sent: what grew is not sent (tsize and the
// data agree with the size at the open), what shrank is not passed off as the
// whole file.
TEST_F(TftpServerTest, ExactlyTheSizeFoundAtTheOpenIsSent) {
    StartServer();
    served = folder.Write("fw.bin", Pattern(5000));
    LoopbackClient grows(server.ListenPort());
    grows.SendToServer(Request(kTftpReadRequest, served, "octet", {{"tsize", "0"}}));
    const auto answer = grows.Receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->bytes, Word(kTftpOptionAck) + Text("tsize") + Text("5000"));
    std::ofstream(served, std::ios::binary | std::ios::app) << std::string(3000, 'x');
    EXPECT_EQ(grows.FetchRest(answer), Pattern(5000));

    served = folder.Write("fw.bin", Pattern(5000));
    LoopbackClient shrinks(server.ListenPort());
    shrinks.SendToServer(Request(kTftpReadRequest, served));
    auto packet = shrinks.Receive();
    ASSERT_TRUE(packet && packet->Opcode() == kTftpData);
    std::filesystem::resize_file(served, 1000);
    for (uint16_t block = 1; packet && packet->Opcode() == kTftpData; packet = shrinks.Receive())
        shrinks.SendToTransfer(Ack(block++));
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->Opcode(), kTftpError);
    EXPECT_EQ(packet->ErrorText(), "File changed while being sent");
}

#ifndef _WIN32
// Runs in a death test's child, under a low limit of open files: with no
// descriptor left the request hears so, never that the file is missing.
// Exits 0 when every answer was right.
void RunOutOfDescriptors(const std::string& served, const std::string& executable) {
    const rlimit low{64, 64};
    if (setrlimit(RLIMIT_NOFILE, &low) != 0) _exit(2);
    TftpServer server;
    TftpServerSettings settings;
    settings.listenAddress = htonl(INADDR_LOOPBACK);
    settings.listenPort = 0;
    settings.minPort = 0;
    settings.maxPort = 1;
    settings.executablePath = executable;
    settings.servedFile = [&served] { return served; };
    settings.passWaitMs = 20;
    settings.secondMs = 20;
    if (!server.Start(settings)) _exit(3);
    LoopbackClient client(server.ListenPort());
    std::vector<int> fillers;
    for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) fillers.push_back(fd);
    auto errorText = [&] {
        client.SendToServer(Request(kTftpReadRequest, served));
        const auto reply = client.Receive();
        return reply && reply->Opcode() == kTftpError ? reply->ErrorText() : std::string("(no error)");
    };
    if (errorText() != "Thread Socket Creation Error: Too many open files") _exit(4);
    close(fillers.back());  // room for the transfer's socket, none for the file
    fillers.pop_back();
    if (errorText() != "Too many open files") _exit(5);
    for (int i = 0; i < 3; ++i) {  // room for a new client, the socket and the file
        close(fillers.back());
        fillers.pop_back();
    }
    LoopbackClient device(server.ListenPort());
    device.SendToServer(Request(kTftpReadRequest, served));
    if (device.FetchRest(device.Receive()) != Pattern(1500)) _exit(6);
    server.Stop();
    _exit(0);
}

TEST(TftpServerDeathTest, RunningOutOfDescriptorsIsToldAsSuch) {
    TempFolder folder;
    std::filesystem::create_directories(folder.File("log"));
    const std::string served = folder.Write("fw.bin", Pattern(1500));
    EXPECT_EXIT(RunOutOfDescriptors(served, folder.File("quillane")), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
