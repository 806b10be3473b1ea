#include "link/tftp_transfer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include "link/tftp_server.h"
#include "support/narrow_text.h"
#include "support/served_file.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/time.h>
#endif

namespace quillane {

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A port-unreachable report from the client's host (ICMP) arrives as an error
// on the connected socket. It is treated as silence: a stray report must not
// end a transfer, and a client that is really gone ends it by time-out.
// A receive cut short by a signal (never restarted on a socket with a receive
// time-out) is a shortened wait as well.
bool ReceiveTimedOut() {
#ifdef _WIN32
    return WSAGetLastError() == WSAETIMEDOUT;
#else
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
#endif
}

// Bounds each blocking receive on the transfer socket.
bool SetReceiveTimeout(SocketHandle socket, uint32_t ms) {
#ifdef _WIN32
    const DWORD value = ms;
#else
    timeval value{};
    value.tv_sec = static_cast<time_t>(ms / 1000);
    value.tv_usec = static_cast<suseconds_t>(ms % 1000) * 1000;
#endif
    return ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0;
}

bool PeerReportedUnreachable() {
#ifdef _WIN32
    // Windows reports it as a reset; wine passes the host's refusal on as such.
    const int error = WSAGetLastError();
    return error == WSAECONNRESET || error == WSAECONNREFUSED;
#else
    return errno == ECONNREFUSED;
#endif
}

// The process or the system has no descriptor left: said as such, never as a missing file.
bool OutOfDescriptors() {
#ifdef _WIN32
    return WSAGetLastError() == WSAEMFILE;
#else
    return errno == EMFILE || errno == ENFILE;
#endif
}

std::string LastErrorText() {
#ifdef _WIN32
    return "Too many open sockets";
#else
    return std::strerror(errno);
#endif
}

std::string Format(const char* format, auto... values) {
    char text[600];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// kDelivered: the last block was acknowledged; kCut: the send loop ended for
// any other reason (client error, read or network error, server stop).
enum class Ending { kRefused, kDelivered, kCut, kAbandoned };

class Transfer {
public:
    Transfer(TftpServer& server, TftpRequest& request) : m_server(server), m_request(request) {}

    // Reads the request from the listening socket and serves it.
    Ending Run();

private:
    bool TakeRequest();
    bool OpenTransferSocket();
    bool OpenFile();
    bool Negotiate();
    bool PrepareData();
    Ending SendLoop();
    Ending GiveUp();
    void ReportEnd(Ending ending, bool othersServeTheClient);

    // Wait for the acknowledgement of the packet outstanding. kSend: send
    // (again); kLeave: the loop ends; kStopped: the server is stopping.
    enum class Wait { kSend, kLeave, kStopped };
    Wait WaitForAcknowledgement();

    bool FillBuffer(std::vector<uint8_t>& buffer, size_t& length, uint16_t block);
    bool SendDataFrom(std::vector<uint8_t>& sent, size_t sentLength, std::vector<uint8_t>& other,
                      size_t& otherLength);
    bool SendOnTransferSocket(const void* data, size_t length);

    void Refuse(uint16_t code, const std::string& message, int level, bool fromListeningSocket = false);
    void Note(const std::string& message, int level);
    void ResetExpiry() {
        m_request.expiryMs = NowMs() + int64_t(m_request.timeout) * m_server.Settings().secondMs;
    }

    TftpServer& m_server;
    TftpRequest& m_request;
};

void Transfer::Note(const std::string& message, int level) {
    m_request.message = message;
    m_server.LogRequestMessage(m_request, level);
}

void Transfer::Refuse(uint16_t code, const std::string& message, int level, bool fromListeningSocket) {
    m_request.errorCode = code;
    m_request.message = message;
    const std::vector<uint8_t> packet = BuildTftpError(code, message);
    if (fromListeningSocket)
        SocketSendTo(m_request.listenSocket, packet.data(), packet.size(), m_request.client);
    else
        SendOnTransferSocket(packet.data(), packet.size());
    m_server.LogRequestMessage(m_request, level);
}

bool Transfer::SendOnTransferSocket(const void* data, size_t length) {
    if (SocketSend(m_request.transferSocket, data, length) >= 0) return true;
    return PeerReportedUnreachable();
}

bool Transfer::TakeRequest() {
    // Requests longer than the server reads are cut, not dropped.
    std::vector<uint8_t> datagram(65536);
    int length = -1;
    if (m_server.running.load() != 0 && SocketWaitReadable(m_request.listenSocket, 0) > 0)
        length =
            SocketReceiveFrom(m_request.listenSocket, datagram.data(), datagram.size(), &m_request.client);
    if (length > 0) {  // counted before the listener judges the client's next request
        m_server.clientTransfers.Add(m_request.client.sin_addr.s_addr);
        m_request.clientCounted = true;
    }
    m_server.intake.Set();  // the listener may watch the socket again
    if (length <= 0) {
        Note("Communication Error", 1);
        return false;
    }
    datagram.resize(std::min(static_cast<size_t>(length), kTftpMaxDatagram));
    m_request.received = std::move(datagram);
    const uint16_t opcode = ReadTftpWord(m_request.received.data(), m_request.received.size(), 0);
    if (opcode == kTftpError) {
        const TftpErrorFields error = ParseTftpError(m_request.received.data(), m_request.received.size());
        Note(Format("Error Code %i at Client, %s", int(error.code), error.text.c_str()), 2);
        return false;
    }
    if (opcode != kTftpReadRequest && opcode != kTftpWriteRequest) {
        Refuse(5, "Unknown Transfer Id", 2, true);
        return false;
    }
    m_request.fields = ParseTftpRequest(m_request.received.data(), m_request.received.size());
    return true;
}

bool Transfer::OpenTransferSocket() {
    m_request.blockSize = kTftpBlockSize;
    m_request.timeout = m_server.defaultTimeout;
    ResetExpiry();
    m_request.transferSocket = UdpSocketCreate();
    if (m_request.transferSocket == kInvalidSocket) {
        Refuse(
            0,
            std::string("Thread Socket Creation Error") + (OutOfDescriptors() ? ": " + LastErrorText() : ""),
            1, true);
        return false;
    }
    bool bound = false;
    for (uint32_t port = m_server.minPort; port < m_server.maxPort && port <= 0xFFFF; ++port) {
        if (m_server.running.load() == 0) return false;
        if (SocketBind(m_request.transferSocket, m_server.transferAddress, static_cast<uint16_t>(port))) {
            bound = true;
            break;
        }
    }
    if (!bound) {
        Refuse(0, "No port is free", 1, true);
        return false;
    }
    if (!SocketConnect(m_request.transferSocket, m_request.client)) {
        Refuse(0, "Connect Failed", 1, true);
        return false;
    }
    SetReceiveTimeout(m_request.transferSocket, std::max<uint32_t>(1, m_server.Settings().passWaitMs));
    return true;
}

bool Transfer::OpenFile() {
    for (const auto& option : m_request.fields.options) {
        if (option.name == "blksize") {
            m_request.blockSize = NegotiateBlockSize(option.value, m_server.maxBlockSize);
            break;
        }
    }
    // Text mode is the C library's; on POSIX it reads the same bytes as binary.
    const std::string& mode = m_request.fields.mode;
    m_request.textMode = mode == "netascii" || mode == "ascii";
    // The file the name was checked against, not the one chosen now: the
    // operator may have opened another file since. What the name leads to now
    // may be a FIFO or a device: the open never blocks and takes only a
    // regular file, whose size at this moment is all that will be sent.
    const ServedFile opened = OpenServedFile(m_request.servedFile, m_request.textMode);
    switch (opened.result) {
        case ServedFileOpen::kOpened:
            break;
        case ServedFileOpen::kNotRegular:
            Refuse(2, "Access violation", 1);
            return false;
        case ServedFileOpen::kOutOfDescriptors:
            Refuse(0, std::strerror(opened.error), 1);
            return false;
        case ServedFileOpen::kNotFound:
            Refuse(1, "File not found or No Access", 1);
            return false;
    }
    m_request.file = opened.stream;
    m_request.unread = opened.size;
    m_request.fileSize = static_cast<uint32_t>(std::min<uint64_t>(opened.size, UINT32_MAX));
    std::setvbuf(m_request.file, nullptr, _IOFBF, 5u * m_request.blockSize);
    return true;
}

bool Transfer::Negotiate() {
    const auto& options = m_request.fields.options;
    // The size found at the open serves tsize and the progress reports.
    if (options.empty()) return true;
    const TftpNegotiation agreed = NegotiateOptions(options, m_server.maxBlockSize, m_request.fileSize);
    m_request.blockSize = agreed.blockSize;
    if (agreed.timeout) {
        m_request.timeout = *agreed.timeout;
        ResetExpiry();
    }
    m_request.optionAnswer = agreed.packet;
    if (!SendOnTransferSocket(m_request.optionAnswer.data(), m_request.optionAnswer.size())) {
        Note("Communication Error", 1);
        return false;
    }
    return true;
}

// Reads the next block of the file into a data packet, never past the size
// found at the open: a file that grows meanwhile is sent as it was. A short
// block is the last one: the file is closed. A file that shrank is not sent
// cut short as if whole (text reading may end early by design).
bool Transfer::FillBuffer(std::vector<uint8_t>& buffer, size_t& length, uint16_t block) {
    buffer[0] = 0;
    buffer[1] = kTftpData;
    buffer[2] = static_cast<uint8_t>(block >> 8);
    buffer[3] = static_cast<uint8_t>(block & 0xFF);
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(m_request.blockSize, m_request.unread));
    length = wanted ? std::fread(buffer.data() + 4, 1, wanted, m_request.file) : 0;
    if (std::ferror(m_request.file)) {
        m_request.readProblem = std::strerror(errno);
        return false;
    }
    if (length < wanted && !m_request.textMode) {
        m_request.readProblem = "File changed while being sent";
        return false;
    }
    m_request.unread = length < wanted ? 0 : m_request.unread - length;
    if (length < m_request.blockSize) {
        std::fclose(m_request.file);
        m_request.file = nullptr;
    }
    return true;
}

bool Transfer::PrepareData() {
    try {
        m_request.bufferA.assign(m_request.blockSize + 4u, 0);
        m_request.bufferB.assign(m_request.blockSize + 4u, 0);
    } catch (const std::bad_alloc&) {
        Note("Memory Error", 1);
        return false;
    }
    const long position = std::ftell(m_request.file);
    if (position < 0 || (position > 0 && std::fseek(m_request.file, 0, SEEK_SET) != 0)) {
        Refuse(2, "File Access Error", 1);
        return false;
    }
    if (!FillBuffer(m_request.bufferA, m_request.lengthA, 1) ||
        (m_request.file && !FillBuffer(m_request.bufferB, m_request.lengthB, 2))) {
        Refuse(2, "Invalid Path or No Access", 1);
        return false;
    }
    return true;
}

uint16_t BlockOf(const std::vector<uint8_t>& packet) {
    return static_cast<uint16_t>(packet[2] << 8 | packet[3]);
}

// Sends the packet that holds the expected block, then reads ahead into the
// other one if it holds the block already acknowledged.
bool Transfer::SendDataFrom(std::vector<uint8_t>& sent, size_t sentLength, std::vector<uint8_t>& other,
                            size_t& otherLength) {
    if (!SendOnTransferSocket(sent.data(), sentLength + 4)) {
        Note("Communication Error", 1);
        return false;
    }
    ResetExpiry();
    const uint16_t expected = m_request.expectedBlock;
    if (m_request.file && static_cast<uint16_t>(BlockOf(other) + 1) == expected) {
        if (!FillBuffer(other, otherLength, static_cast<uint16_t>(expected + 1))) {
            Refuse(4, m_request.readProblem, 1);
            return false;
        }
    }
    return true;
}

// Each pass is one blocking receive bounded by the socket's receive timeout
// (the pass wait): an acknowledgement is taken with a single system call, and
// a stop or an expiry is noticed within one pass.
Transfer::Wait Transfer::WaitForAcknowledgement() {
    auto& request = m_request;
    std::vector<uint8_t>& received = request.received;
    if (received.size() != kTftpMaxDatagram) received.assign(kTftpMaxDatagram, 0);
    for (;;) {
        std::fill(received.begin(), received.begin() + 4, 0);
        const int length =
            SocketReceiveFrom(request.transferSocket, received.data(), received.size(), nullptr);
        if (m_server.running.load() == 0) return Wait::kStopped;
        const bool silence = length == -1 && (ReceiveTimedOut() || PeerReportedUnreachable());
        if (!silence) {
            if (length <= 0) {
                Note("Communication Error", 1);
                return Wait::kLeave;
            }
            const uint16_t opcode = ReadTftpWord(received.data(), size_t(length), 0);
            if (length < 4 || opcode != kTftpAck) {
                if (opcode == kTftpError) {
                    const TftpErrorFields error = ParseTftpError(received.data(), size_t(length));
                    Note(
                        Format("Client %s:%u, Error Code %i at Client, %s",
                               FormatIPv4(request.client.sin_addr.s_addr).c_str(),
                               unsigned(ntohs(request.client.sin_port)), int(error.code), error.text.c_str()),
                        1);
                } else {
                    Refuse(4, Format("Unexpected Option Code %i", int(opcode)), 1);
                }
                return Wait::kLeave;
            }
            if (ReadTftpWord(received.data(), size_t(length), 2) == request.expectedBlock) {
                ++request.expectedBlock;  // wraps after 65535
                ++request.acknowledged;
                request.attempts = 0;
                // The count of acknowledgements is the next block counted
                // without the wrap: the wire's 0 after 65535 is block 65536 of
                // the file, neither 100% early nor back to 0% mid-transfer.
                if (m_server.observer)
                    m_server.observer->TransferProgressed(
                        request.client, {request.acknowledged, request.blockSize, request.fileSize});
                return Wait::kSend;
            }
            // Any other acknowledgement counts as silence: no retransmission.
        }
        if (NowMs() >= request.expiryMs) {
            ++request.attempts;
            return Wait::kSend;
        }
    }
}

Ending Transfer::GiveUp() {
    const bool rollover = m_request.acknowledged > 0 && m_request.expectedBlock == 0;
    Refuse(0, rollover ? "Large File, Block# Rollover not supported by Client" : "Timeout", 1);
    return Ending::kAbandoned;
}

Ending Transfer::SendLoop() {
    auto& request = m_request;
    bool optionsSent = !request.optionAnswer.empty();
    while (request.attempts <= 10) {
        Wait wait = Wait::kSend;
        if (!m_server.ready.load()) {
            wait = Wait::kStopped;
        } else if (!optionsSent) {
            // Without options block 1 goes out at once.
            optionsSent = true;
            request.expectedBlock = 1;
            request.acknowledged = 1;
        } else {
            wait = WaitForAcknowledgement();
        }
        if (wait == Wait::kStopped) {
            // The device learns at once that this transfer is over, instead of after its retries.
            Refuse(0, "Server stopped", 1);
            break;
        }
        if (wait == Wait::kLeave) break;
        if (request.attempts >= 3) return GiveUp();
        if (request.acknowledged == 0) {
            if (!SendOnTransferSocket(request.optionAnswer.data(), request.optionAnswer.size())) {
                Note("Communication Error", 1);
                break;
            }
            ResetExpiry();
        } else if (BlockOf(request.bufferA) == request.expectedBlock) {
            if (!SendDataFrom(request.bufferA, request.lengthA, request.bufferB, request.lengthB)) break;
        } else if (request.bufferB[1] == kTftpData && BlockOf(request.bufferB) == request.expectedBlock) {
            // (B stays an all-zero packet when the file fits into A.)
            if (!SendDataFrom(request.bufferB, request.lengthB, request.bufferA, request.lengthA)) break;
        } else {
            Note(Format("%u Blocks Served", unsigned(request.acknowledged - 1)), 2);
            return Ending::kDelivered;
        }
    }
    return Ending::kCut;
}

// A transfer that failed while another one serves the same client (the client
// repeated its request and took the other one) reports nothing: the client's
// outcome is the other transfer's.
void Transfer::ReportEnd(Ending ending, bool othersServeTheClient) {
    if (ending != Ending::kDelivered && othersServeTheClient) return;
    if (!m_server.observer) return;
    if (ending == Ending::kAbandoned) {
        m_server.observer->TransferAbandoned(m_request.client);
    } else {
        m_server.observer->TransferFinished(m_request.client, ending == Ending::kDelivered);
    }
}

Ending Transfer::Run() {
    if (!TakeRequest() || !OpenTransferSocket()) return Ending::kRefused;
    TftpRequestPolicy policy;
    policy.localSeparator = m_server.localSeparator;
    policy.foreignSeparator = m_server.foreignSeparator;
    policy.homeDirectoryLength = m_server.homeDirectory.size();
    policy.readAllowed = m_server.readAllowed;
    // Read once: the file checked is the file opened. The device asks for the
    // name the boot reply gave it, the system's narrow form; the file opens by
    // its own (UTF-8) name.
    const std::string served = m_server.ServedFile();
    policy.servedFile = ToNarrowFromUtf8(served).str();
    if (const auto refusal = CheckTftpRequest(m_request.fields, policy, m_request.path)) {
        Refuse(refusal->code, refusal->message, 1);
        return Ending::kRefused;
    }
    m_request.servedFile = served;
    if (!OpenFile() || !Negotiate() || !PrepareData()) return Ending::kRefused;
    m_server.EnterSending(m_request.client);
    const Ending ending = SendLoop();
    ReportEnd(ending, m_server.LeaveSending(m_request.client));
    return ending;
}

}  // namespace

void TransferThread(TftpServer* server) {
    ++server->liveTransfers;
    bool woken = false;
    while (server->running.load() != 0)
        if ((woken = server->requestReady.Wait(kTftpListenerWaitMs))) break;
    if (woken && server->running.load() != 0) {
        ++server->busyTransfers;
        TftpRequest request;
        request.listenSocket = server->listenSocket.load();
        Transfer(*server, request).Run();
        if (request.file) std::fclose(request.file);
        if (request.transferSocket != kInvalidSocket) SocketClose(request.transferSocket);
        if (request.clientCounted) server->clientTransfers.Remove(request.client.sin_addr.s_addr);
        // Live first: the listener never sees a thread counted idle that is leaving.
        if (server->liveTransfers.load() != 0) --server->liveTransfers;
        --server->busyTransfers;
        return;
    }
    if (woken) server->intake.Set();  // woken by a stop: let the listener go on
    if (server->liveTransfers.load() != 0) --server->liveTransfers;
}

}  // namespace quillane
