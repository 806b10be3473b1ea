#include "tftp_fetch.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "pktinfo_socket.h"
#include "sha256.h"

namespace devsim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t kRrq = 1, kData = 3, kAck = 4, kError = 5, kOack = 6;
constexpr int kMaxRetransmissions = 5;
constexpr uint32_t kDefaultTimeoutSeconds = 2;
constexpr auto kStalledLifetime = std::chrono::seconds(30);

const char* OpcodeName(uint16_t opcode) {
    switch (opcode) {
        case kRrq:
            return "rrq";
        case 2:
            return "wrq";
        case kData:
            return "data";
        case kAck:
            return "ack";
        case kError:
            return "error";
        case kOack:
            return "oack";
    }
    return "unknown";
}

uint16_t ReadBe16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void PutBe16(std::vector<uint8_t>& packet, uint16_t value) {
    packet.push_back(static_cast<uint8_t>(value >> 8));
    packet.push_back(static_cast<uint8_t>(value));
}

void PutText(std::vector<uint8_t>& packet, const std::string& text) {
    packet.insert(packet.end(), text.begin(), text.end());
    packet.push_back(0);
}

std::vector<uint8_t> BuildRequest(const std::string& file, const TftpOptions& options) {
    std::vector<uint8_t> packet;
    PutBe16(packet, kRrq);
    PutText(packet, file);
    PutText(packet, "octet");
    if (options.blksize) {
        PutText(packet, "blksize");
        PutText(packet, std::to_string(options.blksize));
    }
    if (options.tsize) {
        PutText(packet, "tsize");
        PutText(packet, "0");
    }
    if (options.timeout) {
        PutText(packet, "timeout");
        PutText(packet, std::to_string(options.timeout));
    }
    return packet;
}

std::vector<uint8_t> BuildAck(uint16_t block) {
    std::vector<uint8_t> packet;
    PutBe16(packet, kAck);
    PutBe16(packet, block);
    return packet;
}

std::vector<uint8_t> BuildError(uint16_t code, const std::string& message) {
    std::vector<uint8_t> packet;
    PutBe16(packet, kError);
    PutBe16(packet, code);
    PutText(packet, message);
    return packet;
}

// One transfer; members keep the per-packet code short.
class Fetch {
public:
    explicit Fetch(const FetchSettings& settings) : m_s(settings) {
        if (settings.options.timeout) m_timeoutSeconds = settings.options.timeout;
    }

    FetchOutcome Run() {
        m_start = Clock::now();
        if (!OpenSocket()) return m_outcome;
        m_lastSent = BuildRequest(m_s.file, m_s.options);
        Send(m_lastSent, m_s.serverPort,
             LogLine().Add("file", m_s.file).Add("options", FormatTftpOptions(m_s.options)));
        m_deadline = Clock::now() + std::chrono::seconds(m_timeoutSeconds);
        Loop();
        ::close(m_socket);
        if (!m_outcome.ok)
            m_outcome.milliseconds =
                std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
        return m_outcome;
    }

private:
    bool OpenSocket() {
        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (m_socket < 0) return Fail("cannot create a socket");
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(m_s.localIp);
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(m_socket);
            return Fail("cannot bind " + FormatAddress(m_s.localIp) + " (not an address of this namespace?)");
        }
        return true;
    }

    bool Fail(const std::string& error) {
        m_outcome.ok = false;
        m_outcome.error = error;
        m_finished = true;
        return false;
    }

    bool Stopping() const { return m_s.stop && m_s.stop->load(); }

    void Send(const std::vector<uint8_t>& packet, uint16_t port, LogLine fields = LogLine()) {
        const uint16_t opcode = ReadBe16(packet.data());
        const bool dropped = m_s.dice && m_s.dice->Drop(m_s.dropShare);
        fields.Add("dev", m_s.deviceNumber)
            .Add("dir", "out")
            .Add("proto", "tftp")
            .Add("kind", OpcodeName(opcode))
            .Add("len", static_cast<uint64_t>(packet.size()))
            .Add("peer", Endpoint(m_s.serverIp, port));
        if (opcode == kAck) fields.Add("block", static_cast<uint32_t>(ReadBe16(packet.data() + 2)));
        if (dropped) fields.Add("dropped", true);
        m_s.log->Write(fields);
        if (dropped) return;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(m_s.serverIp);
        ::sendto(m_socket, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    void SendReply(const std::vector<uint8_t>& packet, LogLine fields = LogLine()) {
        m_lastSent = packet;
        Send(packet, m_serverTid, std::move(fields));
        m_deadline = Clock::now() + std::chrono::seconds(m_timeoutSeconds);
        m_retransmissions = 0;
    }

    void Loop() {
        uint8_t buffer[65536 + 4];
        while (!m_finished) {
            if (Stopping()) {
                Fail("simulator stopping");
                return;
            }
            if (m_stalled) {
                if (Clock::now() - m_stalledSince > kStalledLifetime) {
                    Fail("stalled on purpose (fault stall-after)");
                    return;
                }
            } else if (Clock::now() >= m_deadline && !Retransmit()) {
                return;
            }
            pollfd wait{m_socket, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0) continue;
            sockaddr_in peer{};
            socklen_t peerLength = sizeof peer;
            const ssize_t length = ::recvfrom(m_socket, buffer, sizeof buffer, MSG_DONTWAIT,
                                              reinterpret_cast<sockaddr*>(&peer), &peerLength);
            if (length < 0) continue;
            Receive(buffer, static_cast<size_t>(length), ntohl(peer.sin_addr.s_addr), ntohs(peer.sin_port));
        }
    }

    bool Retransmit() {
        if (++m_retransmissions > kMaxRetransmissions) {
            Fail("no answer from the server after " + std::to_string(kMaxRetransmissions) +
                 " retransmissions");
            return false;
        }
        Send(m_lastSent, m_serverTid ? m_serverTid : m_s.serverPort,
             LogLine().Add("retransmission", m_retransmissions));
        m_deadline = Clock::now() + std::chrono::seconds(m_timeoutSeconds);
        return true;
    }

    void Receive(const uint8_t* data, size_t length, uint32_t peerIp, uint16_t peerPort) {
        const uint16_t opcode = length >= 2 ? ReadBe16(data) : 0;
        LogLine fields;
        fields.Add("dev", m_s.deviceNumber)
            .Add("dir", "in")
            .Add("proto", "tftp")
            .Add("kind", OpcodeName(opcode))
            .Add("len", static_cast<uint64_t>(length))
            .Add("peer", Endpoint(peerIp, peerPort));
        if ((opcode == kData || opcode == kAck) && length >= 4)
            fields.Add("block", static_cast<uint32_t>(ReadBe16(data + 2)));
        if (opcode == kError && length >= 4) {
            fields.Add("code", static_cast<uint32_t>(ReadBe16(data + 2)));
            fields.Add("message", std::string(reinterpret_cast<const char*>(data + 4),
                                              strnlen(reinterpret_cast<const char*>(data + 4), length - 4)));
        }
        if (peerIp != m_s.serverIp || (m_serverTid && peerPort != m_serverTid)) {
            // RFC 1350: a datagram from a foreign transfer id gets an error and changes nothing.
            m_s.log->Write(fields.Add("ignored", "unknown transfer id"));
            const auto error = BuildError(5, "Unknown transfer ID");
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(peerPort);
            to.sin_addr.s_addr = htonl(peerIp);
            ::sendto(m_socket, error.data(), error.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            return;
        }
        if (m_s.dice && m_s.dice->Drop(m_s.dropShare)) {
            m_s.log->Write(fields.Add("dropped", true));
            return;
        }
        if (m_stalled) {
            m_s.log->Write(fields.Add("ignored", "stalled"));
            return;
        }
        m_s.log->Write(fields);
        if (length < 4) {
            Abort(4, "Illegal TFTP operation", "datagram shorter than 4 bytes");
            return;
        }
        const bool first = m_serverTid == 0;
        if (first) m_serverTid = peerPort;
        switch (opcode) {
            case kOack:
                if (!first || m_s.options.none) {
                    Abort(4, "Illegal TFTP operation", "unexpected option acknowledgement");
                    return;
                }
                TakeOptions(data + 2, length - 2);
                return;
            case kData:
                TakeData(ReadBe16(data + 2), data + 4, length - 4);
                return;
            case kError:
                Fail("server error " + std::to_string(ReadBe16(data + 2)) + ": " +
                     std::string(reinterpret_cast<const char*>(data + 4),
                                 strnlen(reinterpret_cast<const char*>(data + 4), length - 4)));
                return;
            default:
                Abort(4, "Illegal TFTP operation", "unexpected opcode " + std::to_string(opcode));
        }
    }

    void Abort(uint16_t code, const std::string& message, const std::string& reason) {
        if (m_serverTid) Send(BuildError(code, message), m_serverTid, LogLine().Add("message", message));
        Fail(reason);
    }

    void TakeOptions(const uint8_t* data, size_t length) {
        std::vector<std::string> words;
        std::string word;
        for (size_t i = 0; i < length; ++i) {
            if (data[i] == 0) {
                words.push_back(word);
                word.clear();
            } else {
                word += static_cast<char>(data[i]);
            }
        }
        if (!word.empty() || words.size() % 2 != 0) {
            Abort(8, "Malformed option acknowledgement", "malformed option acknowledgement");
            return;
        }
        for (size_t i = 0; i < words.size(); i += 2) {
            std::string name = words[i];
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            char* end = nullptr;
            const unsigned long long value = std::strtoull(words[i + 1].c_str(), &end, 10);
            const bool numeric = !words[i + 1].empty() && *end == '\0';
            m_outcome.acceptedOptions +=
                (m_outcome.acceptedOptions.empty() ? "" : ",") + name + "=" + words[i + 1];
            if (name == "blksize" && m_s.options.blksize && numeric && value >= 8 &&
                value <= m_s.options.blksize) {
                m_outcome.blockSize = static_cast<uint32_t>(value);
            } else if (name == "tsize" && m_s.options.tsize && numeric) {
                m_outcome.announcedSize = static_cast<int64_t>(value);
            } else if (name == "timeout" && m_s.options.timeout && numeric && value >= 1 && value <= 255) {
                m_timeoutSeconds = static_cast<uint32_t>(value);
            } else {
                Abort(8, "Option not requested or out of range",
                      "option acknowledgement carries " + name + "=" + words[i + 1]);
                return;
            }
        }
        Acknowledge(0);
    }

    void TakeData(uint16_t block, const uint8_t* data, size_t length) {
        if (block == static_cast<uint16_t>(m_expected - 1) && m_outcome.blocks > 0) {
            SendReply(BuildAck(block), LogLine().Add("duplicate", true));
            return;
        }
        if (block != m_expected) return;  // out of order: wait for the right one or time out
        if (length > m_outcome.blockSize) {
            Abort(4, "Block larger than negotiated", "data block of " + std::to_string(length) + " bytes");
            return;
        }
        if (m_s.stallAfterBlock >= 0 && m_outcome.blocks >= static_cast<uint64_t>(m_s.stallAfterBlock)) {
            Stall();
            return;
        }
        if (m_s.abortAfterBlock >= 0 && m_outcome.blocks >= static_cast<uint64_t>(m_s.abortAfterBlock)) {
            Abort(0, "Upgrade aborted by the device", "aborted on purpose (fault abort-after)");
            return;
        }
        m_hash.Update(data, length);
        m_outcome.bytes += length;
        ++m_outcome.blocks;
        // A unit acknowledges a block once it is in flash: this paces the whole transfer.
        if (m_s.flashDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_s.flashDelayMs));
        Acknowledge(block);
        ++m_expected;
        if (length < m_outcome.blockSize) Complete();
    }

    void Acknowledge(uint16_t block) {
        if (block == 0 && m_s.stallAfterBlock == 0) {
            Stall();
            return;
        }
        SendReply(BuildAck(block));
    }

    void Stall() {
        m_stalled = true;
        m_stalledSince = Clock::now();
        m_outcome.stalled = true;
        m_s.log->Write(LogLine()
                           .Add("dev", m_s.deviceNumber)
                           .Add("event", "tftp-stalled")
                           .Add("blocks", m_outcome.blocks)
                           .Add("fault", "stall-after"));
        m_s.log->Flush();
    }

    void Complete() {
        m_outcome.ok = true;
        m_outcome.sha256 = m_hash.FinishHex();
        m_outcome.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
        m_finished = true;
        if (m_s.dropShare > 0) Dally();
    }

    // With losses the last acknowledgement may vanish: answer a repeated last
    // block for two time-outs, as the server would otherwise give up on us.
    void Dally() {
        const auto until = Clock::now() + std::chrono::seconds(2 * m_timeoutSeconds);
        uint8_t buffer[65536 + 4];
        while (Clock::now() < until && !Stopping()) {
            pollfd wait{m_socket, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0) continue;
            sockaddr_in peer{};
            socklen_t peerLength = sizeof peer;
            const ssize_t length = ::recvfrom(m_socket, buffer, sizeof buffer, MSG_DONTWAIT,
                                              reinterpret_cast<sockaddr*>(&peer), &peerLength);
            if (length >= 4 && ReadBe16(buffer) == kData && ntohs(peer.sin_port) == m_serverTid &&
                ReadBe16(buffer + 2) == static_cast<uint16_t>(m_expected - 1))
                Send(BuildAck(ReadBe16(buffer + 2)), m_serverTid, LogLine().Add("duplicate", true));
        }
    }

    const FetchSettings& m_s;
    FetchOutcome m_outcome;
    Sha256 m_hash;
    int m_socket = -1;
    uint16_t m_serverTid = 0;
    uint16_t m_expected = 1;
    uint32_t m_timeoutSeconds = kDefaultTimeoutSeconds;
    int m_retransmissions = 0;
    bool m_finished = false;
    bool m_stalled = false;
    std::vector<uint8_t> m_lastSent;
    Clock::time_point m_start, m_deadline, m_stalledSince;
};

}  // namespace

FetchOutcome FetchFile(const FetchSettings& settings) {
    return Fetch(settings).Run();
}

}  // namespace devsim
