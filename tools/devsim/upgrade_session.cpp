#include "upgrade_session.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "boot_packet.h"
#include "pktinfo_socket.h"
#include "tftp_fetch.h"

namespace devsim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBootAttempts = 4;
constexpr auto kBootWait = std::chrono::seconds(2);

void Note(const UpgradeSettings& s, const char* event, LogLine fields = LogLine()) {
    LogLine line;
    s.log->Write(line.Add("dev", s.deviceNumber).Add("event", event).Append(fields));
    s.log->Flush();
}

bool Stopping(const UpgradeSettings& s) {
    return s.stop && s.stop->load();
}

// A loader that restarts slowly; false when the fleet stops meanwhile.
bool WaitForRestart(const UpgradeSettings& s) {
    const auto until = Clock::now() + std::chrono::milliseconds(s.faults.bootDelayMs);
    while (Clock::now() < until) {
        if (Stopping(s)) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(100)));
    }
    return !Stopping(s);
}

// Broadcasts the boot request until a reply for us arrives; false when none came.
bool AskBootAddress(const UpgradeSettings& s, DropDice& dice, BootReply& reply) {
    std::string error;
    const int socket = OpenPktinfoSocket(kBootClientPort, true, error);
    if (socket < 0) {
        Note(s, "boot-failed", LogLine().Add("error", error));
        return false;
    }
    const uint32_t xid = static_cast<uint32_t>(dice.Next());
    const auto start = Clock::now();
    bool answered = false;
    for (int attempt = 1; attempt <= kBootAttempts && !answered && !Stopping(s); ++attempt) {
        const auto secs = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
        const auto request = BuildBootRequest(xid, s.mac, static_cast<uint16_t>(secs));
        const bool dropped = dice.Drop(s.faults.dropShare);
        LogLine out;
        out.Add("dev", s.deviceNumber)
            .Add("dir", "out")
            .Add("proto", "bootp")
            .Add("kind", "boot-request")
            .Add("len", static_cast<uint64_t>(request.size()))
            .Add("peer", Endpoint(0xFFFFFFFFu, kBootServerPort))
            .Add("xid", static_cast<uint32_t>(xid))
            .Add("mac", FormatMac(s.mac))
            .Add("attempt", attempt);
        if (dropped) out.Add("dropped", true);
        s.log->Write(out);
        s.log->Flush();
        if (!dropped)
            SendFrom(socket, s.deviceIp, 0xFFFFFFFFu, kBootServerPort, request.data(), request.size());

        const auto until = Clock::now() + kBootWait;
        while (!answered && Clock::now() < until && !Stopping(s)) {
            pollfd wait{socket, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0) continue;
            uint8_t buffer[1500];
            const ReceivedDatagram got = ReceivePktinfo(socket, buffer, sizeof buffer);
            if (got.length < 0) continue;
            const size_t length = static_cast<size_t>(std::min<int>(got.length, sizeof buffer));
            BootReply parsed = ParseBootReply(buffer, length, xid, s.mac);
            // Replies for other devices are everyone's broadcast: not worth a line each.
            if (!parsed.valid && parsed.problem && std::string(parsed.problem).find("other") == 0) continue;
            LogLine in;
            in.Add("dev", s.deviceNumber)
                .Add("dir", "in")
                .Add("proto", "bootp")
                .Add("kind", "boot-reply")
                .Add("len", static_cast<uint64_t>(got.length))
                .Add("peer", Endpoint(got.peerIp, got.peerPort));
            if (dice.Drop(s.faults.dropShare)) {
                s.log->Write(in.Add("dropped", true));
                continue;
            }
            if (!parsed.valid) {
                s.log->Write(in.Add("ignored", parsed.problem));
                continue;
            }
            if (got.length != static_cast<int>(kBootPacketSize)) in.Add("note", "not 300 bytes");
            s.log->Write(in.Add("yiaddr", FormatAddress(parsed.yiaddr))
                             .Add("siaddr", FormatAddress(parsed.siaddr))
                             .Add("file", parsed.file));
            reply = parsed;
            answered = true;
        }
    }
    ::close(socket);
    return answered;
}

}  // namespace

void RunUpgrade(const UpgradeSettings& s, const std::function<void()>& onSuccess) {
    DropDice dice(s.seed, static_cast<uint32_t>(s.deviceNumber));
    if (s.faults.noBootRequest) {
        Note(s, "upgrade-no-boot", LogLine().Add("fault", "no-boot"));
        return;
    }
    if (s.faults.bootDelayMs > 0) {
        Note(s, "boot-delayed", LogLine().Add("ms", s.faults.bootDelayMs));
        if (!WaitForRestart(s)) return;
    }
    BootReply boot;
    if (!AskBootAddress(s, dice, boot)) {
        if (!Stopping(s)) Note(s, "upgrade-failed", LogLine().Add("error", "no boot reply"));
        return;
    }
    // The loader runs on the address it was given, if this namespace has it;
    // otherwise on its own address (the lab cannot add addresses on the fly).
    uint32_t localIp = boot.yiaddr;
    const auto local = LocalAddresses();
    if (boot.yiaddr == 0 || !local.count(boot.yiaddr)) {
        if (boot.yiaddr != s.deviceIp)
            Note(s, "boot-address-not-local",
                 LogLine().Add("yiaddr", FormatAddress(boot.yiaddr)).Add("using", FormatAddress(s.deviceIp)));
        localIp = s.deviceIp;
    }
    FetchSettings fetch;
    fetch.deviceNumber = s.deviceNumber;
    fetch.localIp = localIp;
    fetch.serverIp = boot.siaddr;
    fetch.file = boot.file;
    fetch.options = s.tftp;
    fetch.stallAfterBlock = s.faults.stallAfterBlock;
    fetch.abortAfterBlock = s.faults.abortAfterBlock;
    fetch.flashDelayMs = s.faults.flashDelayMs;
    fetch.dropShare = s.faults.dropShare;
    fetch.dice = &dice;
    fetch.log = s.log;
    fetch.stop = s.stop;
    const FetchOutcome outcome = FetchFile(fetch);

    LogLine result;
    result.Add("ok", outcome.ok)
        .Add("file", boot.file)
        .Add("server", FormatAddress(boot.siaddr))
        .Add("bytes", outcome.bytes)
        .Add("blocks", outcome.blocks)
        .Add("blksize", outcome.blockSize)
        .Add("ms", outcome.milliseconds);
    if (outcome.ok) result.Add("sha256", outcome.sha256);
    if (outcome.announcedSize >= 0) {
        result.Add("tsize", outcome.announcedSize);
        if (outcome.ok && static_cast<uint64_t>(outcome.announcedSize) != outcome.bytes)
            result.Add("note", "size differs from the announced tsize");
    }
    if (!outcome.acceptedOptions.empty()) result.Add("oack", outcome.acceptedOptions);
    if (!outcome.ok) result.Add("error", outcome.error);
    if (outcome.stalled) result.Add("stalled", true);
    Note(s, outcome.ok ? "upgrade-done" : "upgrade-failed", result);
    if (outcome.ok && onSuccess) onSuccess();
}

}  // namespace devsim
