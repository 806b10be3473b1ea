#pragma once

// The read-only TFTP server that hands the firmware file to devices: the
// listener watches the TFTP port and hands each request to a transfer thread
// of its own (tftp_transfer.h), which serves it from a port of the range.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/tftp_admission.h"
#include "link/tftp_log.h"
#include "support/bounded_thread.h"
#include "support/event.h"
#include "support/udp_socket.h"

namespace quillane {

struct TftpRequest;

// What a transfer has delivered so far, as the client's acknowledgements say.
struct TransferDelivery {
    // The block after the one last acknowledged, counted from the transfer's
    // start without wrapping (65536 after block 65535), so the progress of a
    // file of more than 65535 blocks climbs on.
    uint32_t nextBlock = 0;
    uint16_t blockSize = 0;
    uint32_t fileSize = 0;  // the file's size when the transfer opened it
};

// Who hears of the transfers. Each call runs on the transfer thread and names
// the client the transfer serves (the server knows nothing of devices or
// runs); an observer only takes note (the station posts an event to its
// command loop). The end of a transfer says whether the client acknowledged
// the file's last block: a transfer cut short by an error or a stop is a
// failure, not a success.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    virtual void TransferProgressed(const sockaddr_in& client, const TransferDelivery& delivery) = 0;
    virtual void TransferFinished(const sockaddr_in& client, bool delivered) = 0;
    // The transfer gave up without an outcome of its own (it never started sending).
    virtual void TransferAbandoned(const sockaddr_in& /*client*/) {}
};

// What Start needs beyond the fixed settings. The application passes the real
// ports and its own executable; tests pass loopback ports, a folder of their
// own, a clock for the log's day and shorter waits.
struct TftpServerSettings {
    uint16_t listenPort = 69;                 // 0 picks a free port
    uint32_t listenAddress = 0;               // network order; 0 = any
    uint32_t minPort = 25020;                 // transfer ports: first tried
    uint32_t maxPort = 65530;                 // ports below this one are tried
    std::string executablePath;               // log folder and name; "" = this executable
    std::function<std::string()> servedFile;  // the firmware file, read per request
    LocalTimeSource localTime;                // empty = the local time
    uint32_t passWaitMs = 50;                 // longest wait per pass of the send loop
    uint32_t secondMs = 1000;                 // length of one second of a transfer's timeout
    TransferObserver* observer = nullptr;     // null: nobody hears of the transfers
    uint16_t maxLiveTransfers = kMaxLiveTransfers;
    uint16_t reservedTransfers = kReservedTransfers;
    uint16_t maxTransfersPerClient = kMaxTransfersPerClient;
    // The address (network order) of the device being upgraded, whose requests
    // may take the reserved places; 0 when no upgrade runs. Called on the
    // listener thread, only when the places for anyone else are taken.
    std::function<uint32_t()> reservedClient;
};

inline constexpr uint32_t kTftpThreadStopWaitMs = 4000;  // per thread, at Stop
inline constexpr uint32_t kTftpListenerWaitMs = 50;      // listener's wait per pass

class TftpServer {
public:
    TftpServer();
    ~TftpServer();
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;

    // Sets up the log, the fixed settings, the listening socket and the
    // listener thread. False when the socket, its port or the thread failed.
    bool Start(const TftpServerSettings& settings);
    // Ends every thread, each waited for at most kTftpThreadStopWaitMs. The
    // log stays open (LogServerMessage still writes) until the server is destroyed.
    void Stop();

    // Transfers in their send loop, by client address and port. A client that
    // repeats its request gets a second transfer; the one it then refuses
    // must not report an end for that client while the other serves it.
    void EnterSending(const sockaddr_in& client);
    // Returns whether another transfer still serves the same client.
    bool LeaveSending(const sockaddr_in& client);

    void LogServerMessage(const std::string& text);
    void LogRequestMessage(const TftpRequest& request, int level);

    uint16_t ListenPort() const;  // the bound port, host order; 0 before Start and when the bind failed
    size_t ThreadCount() const;   // handles kept: the listener and live transfers
    const TftpServerSettings& Settings() const { return m_settings; }
    std::string ServedFile() const;

    // Fixed settings and shared state, read by the transfer threads.
#ifdef _WIN32
    char localSeparator = '\\';
    char foreignSeparator = '/';
#else
    char localSeparator = '/';
    char foreignSeparator = '\\';
#endif
    uint16_t maxBlockSize = 65464;  // the protocol's largest; Start bounds it to 512
    std::atomic<bool> quiet{false};
    uint16_t defaultTimeout = 3;
    Event requestReady{false};  // one per request; wakes one idle transfer thread
    Event intake{true};         // hand-off of one datagram between listener and transfer
    std::atomic<uint16_t> liveTransfers{0};
    std::atomic<uint16_t> busyTransfers{0};
    std::atomic<int32_t> running{1};
    std::atomic<SocketHandle> listenSocket{kInvalidSocket};
    sockaddr_in listenAddress{};
    uint32_t transferAddress = 0;  // network order
    std::atomic<bool> ready{false};
    std::string homeDirectory;
    bool readAllowed = false;
    uint32_t minPort = 0, maxPort = 0;
    uint8_t logLevel = 0;
    TransferObserver* observer = nullptr;
    ClientTransfers clientTransfers;  // live transfers per client address

private:
    void ListenerThread();
    bool StartThread(const char* name, void (*body)(TftpServer*));
    void ReapEndedThreads();
    bool WaitWhileRunning(Event& event);
    bool AdmitWaitingRequest();
    void RefuseWaitingRequest(const std::string& message);

    TftpServerSettings m_settings;
    TftpLog m_log;
    std::mutex m_sendingLock;
    std::map<uint64_t, int> m_sending;  // client address and port -> transfers serving it
    mutable std::mutex m_threadsLock;
    std::vector<BoundedThread> m_threads;  // the listener first, then the transfers
    RefusalLog m_refusalLog;               // the listener's
};

// Thread procedure of one transfer (tftp_transfer.cpp).
void TransferThread(TftpServer* server);

}  // namespace quillane
