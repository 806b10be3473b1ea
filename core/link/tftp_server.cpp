#include "link/tftp_server.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "link/tftp_transfer.h"
#include "support/exe_dir.h"

namespace quillane {

TftpServer::TftpServer() = default;

TftpServer::~TftpServer() {
    Stop();
}

bool TftpServer::Start(const TftpServerSettings& settings) {
    m_settings = settings;
    observer = settings.observer;
    // Quiet until the log is open and the fixed settings are in place: the
    // start-up summary those would give is not written.
    quiet.store(true);

    const std::string executable =
        settings.executablePath.empty() ? ExecutablePath() : settings.executablePath;
    logLevel = 2;
    m_log.Open(TftpLog::NamePattern(executable, kPathSeparator), settings.localTime);
    SocketStartup();
    const size_t slash = executable.find_last_of(kPathSeparator);
    homeDirectory = slash == std::string::npos ? std::string() : executable.substr(0, slash + 1);

    readAllowed = true;
    minPort = settings.minPort;
    maxPort = settings.maxPort;
    // A blksize option never gets more than 512: the devices' loaders take
    // the file in 512-byte blocks whatever they ask for.
    maxBlockSize = 512;
    defaultTimeout = 3;
    running.store(1);
    quiet.store(false);

    const SocketHandle socket = UdpSocketCreate();
    if (socket == kInvalidSocket) {
        LogServerMessage("Failed to Create Socket");
        return false;
    }
    listenSocket.store(socket);
    listenAddress = MakeAddress(settings.listenAddress, settings.listenPort);
    if (!SocketBind(socket, listenAddress.sin_addr.s_addr, settings.listenPort)) {
        char text[64];
        std::snprintf(text, sizeof text, "Port %i bind failed", static_cast<int>(settings.listenPort));
        LogServerMessage(text);
        listenAddress.sin_port = 0;  // ListenPort() tells the server does not listen
        return false;
    }
    // The transfer threads take the request without waiting; a datagram that
    // vanished between the wake-up and the read must not block them.
    SocketSetNonBlocking(socket);
    listenAddress.sin_port = htons(SocketLocalPort(socket));
    transferAddress = listenAddress.sin_addr.s_addr;
    ready.store(true);
    if (!StartThread("TFTP listener", [](TftpServer* server) { server->ListenerThread(); })) {
        ready.store(false);
        return false;
    }
    return true;
}

bool TftpServer::StartThread(const char* name, void (*body)(TftpServer*)) {
    BoundedThread thread;
    if (!thread.Start(name, [this, body] { body(this); })) return false;
    std::lock_guard lock(m_threadsLock);
    m_threads.push_back(std::move(thread));
    return true;
}

// Transfers that have ended are joined at once, so the list holds only the
// listener and the transfers still running.
void TftpServer::ReapEndedThreads() {
    std::lock_guard lock(m_threadsLock);
    std::erase_if(m_threads, [](BoundedThread& thread) {
        if (!thread.Ended()) return false;
        thread.Stop(kTftpThreadStopWaitMs);  // the body has returned: the join is immediate
        return true;
    });
}

size_t TftpServer::ThreadCount() const {
    std::lock_guard lock(m_threadsLock);
    return m_threads.size();
}

uint16_t TftpServer::ListenPort() const {
    return ntohs(listenAddress.sin_port);
}

std::string TftpServer::ServedFile() const {
    return m_settings.servedFile ? m_settings.servedFile() : std::string();
}

// Waits for the event in short steps so that a stop is never missed.
bool TftpServer::WaitWhileRunning(Event& event) {
    while (running.load() != 0)
        if (event.Wait(kTftpListenerWaitMs)) return true;
    return false;
}

// Whether the waiting request may have a transfer of its own: within the
// bound for its sender's address, and within the bound for anyone or, for
// the device being upgraded, within the places kept for it. The transfers
// counted have each taken their request already (the hand-off waits for
// that), so the counts are exact here.
bool TftpServer::AdmitWaitingRequest() {
    sockaddr_in sender{};
    if (!SocketPeekSender(listenSocket.load(), sender)) return true;  // gone: the transfer finds nothing
    if (clientTransfers.Of(sender.sin_addr.s_addr) >= m_settings.maxTransfersPerClient) return false;
    const uint32_t live = liveTransfers.load();
    const uint32_t cap = m_settings.maxLiveTransfers;
    const uint32_t reserved = m_settings.reservedTransfers;
    if (AdmitTransfer(live, cap, reserved, false)) return true;
    const uint32_t device = m_settings.reservedClient ? m_settings.reservedClient() : 0;
    return AdmitTransfer(live, cap, reserved, device != 0 && sender.sin_addr.s_addr == device);
}

// Takes the waiting datagram (so the socket does not stay readable) and, if it
// is a request, answers it with an error packet from the listening port and
// logs it, at the refusal log's pace: these come in floods.
void TftpServer::RefuseWaitingRequest(const std::string& message) {
    uint8_t datagram[kTftpMaxDatagram];
    TftpRequest request;
    const int length = SocketReceiveFrom(listenSocket.load(), datagram, sizeof datagram, &request.client);
    if (length < 2) return;
    const TftpRequestFields fields = ParseTftpRequest(datagram, static_cast<size_t>(length));
    if (fields.opcode != kTftpReadRequest && fields.opcode != kTftpWriteRequest) return;
    const std::vector<uint8_t> packet = BuildTftpError(0, message);
    SocketSendTo(listenSocket.load(), packet.data(), packet.size(), request.client);
    request.path = fields.fileName;
    request.message = message;
    if (const std::string summary = m_refusalLog.TakeSummary(); !summary.empty()) LogServerMessage(summary);
    if (m_refusalLog.Refused()) LogRequestMessage(request, 1);
}

void TftpServer::ListenerThread() {
    while (ready.load()) {
        ReapEndedThreads();
        if (const std::string summary = m_refusalLog.TakeSummary(); !summary.empty())
            LogServerMessage(summary);
        const int readable = SocketWaitReadable(listenSocket.load(), static_cast<int>(kTftpListenerWaitMs));
        if (readable <= 0) {
            if (readable < 0 && ready.load())  // socket error: keep the pace instead of spinning
                std::this_thread::sleep_for(std::chrono::milliseconds(kTftpListenerWaitMs));
            continue;
        }
        if (!WaitWhileRunning(intake)) return;
        const bool idleThreadExists =
            liveTransfers.load() != 0 && busyTransfers.load() < liveTransfers.load();
        if (!AdmitWaitingRequest()) {
            RefuseWaitingRequest(kTftpBusyMessage);
            intake.Set();
            continue;
        }
        if (!idleThreadExists && !StartThread("TFTP transfer", TransferThread)) {
            RefuseWaitingRequest(kTftpNoThreadMessage);
            intake.Set();
            continue;
        }
        requestReady.Set();
        // The transfer thread signals intake once it has read the datagram.
        if (!WaitWhileRunning(intake)) return;
        intake.Set();
        if (running.load() == 0) return;
    }
}

void TftpServer::Stop() {
    running.store(0);
    ready.store(false);
    requestReady.Set();
    intake.Set();
    std::vector<BoundedThread> threads;
    {
        std::lock_guard lock(m_threadsLock);
        threads.swap(m_threads);
    }
    // The listener is first: once it has ended no new transfer can start.
    for (BoundedThread& thread : threads) {
        thread.Stop(kTftpThreadStopWaitMs);
        // Another idle transfer may still wait for its request.
        requestReady.Set();
    }
    {
        // Threads the listener started while the list was being emptied.
        std::lock_guard lock(m_threadsLock);
        for (BoundedThread& thread : m_threads) thread.Stop(kTftpThreadStopWaitMs);
        m_threads.clear();
    }
    const SocketHandle socket = listenSocket.exchange(kInvalidSocket);
    if (socket != kInvalidSocket) {
        SocketClose(socket);
        SocketCleanup();
    }
    // The log stays open until the server goes: its owner may still note why it stopped.
}

namespace {

uint64_t ClientKey(const sockaddr_in& client) {
    return uint64_t{client.sin_addr.s_addr} << 16 | client.sin_port;
}

}  // namespace

void TftpServer::EnterSending(const sockaddr_in& client) {
    std::lock_guard lock(m_sendingLock);
    ++m_sending[ClientKey(client)];
}

bool TftpServer::LeaveSending(const sockaddr_in& client) {
    std::lock_guard lock(m_sendingLock);
    const auto it = m_sending.find(ClientKey(client));
    if (it == m_sending.end()) return false;
    if (--it->second > 0) return true;
    m_sending.erase(it);
    return false;
}

void TftpServer::LogServerMessage(const std::string& text) {
    if (quiet.load() || logLevel < 1) return;
    m_log.Write(text);
}

void TftpServer::LogRequestMessage(const TftpRequest& request, int level) {
    if (level > logLevel) return;
    char client[64];
    std::snprintf(client, sizeof client, "Client %s:%u", FormatIPv4(request.client.sin_addr.s_addr).c_str(),
                  static_cast<unsigned>(ntohs(request.client.sin_port)));
    std::string line = client;
    if (!request.path.empty()) line += " " + request.path;
    line += ", " + request.message;
    m_log.Write(line);
}

}  // namespace quillane
