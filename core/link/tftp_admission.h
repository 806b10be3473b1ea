#pragma once

// Who gets a transfer when requests come faster than transfers end. Each
// transfer holds a thread, a socket and the open file; anyone on the LAN can
// send read requests, so their number is bounded and the last few places are
// kept for the device being upgraded.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quillane {

inline constexpr uint16_t kMaxLiveTransfers = 256;      // transfers at once
inline constexpr uint16_t kReservedTransfers = 8;       // of them, kept for the device being upgraded
inline constexpr uint16_t kMaxTransfersPerClient = 32;  // from one address: one host cannot take them all
inline constexpr const char* kTftpBusyMessage = "Server busy, too many transfers";
inline constexpr const char* kTftpNoThreadMessage = "Out of threads, no transfer could be started";

// Whether one more transfer may start while `live` run: up to `cap` for the
// reserved client, up to `cap - reserved` for anyone else.
bool AdmitTransfer(uint32_t live, uint32_t cap, uint32_t reserved, bool fromReservedClient);

// Live transfers per client address, kept by the transfer threads (a thread
// counts its client before the listener may go on) and read by the listener.
class ClientTransfers {
public:
    void Add(uint32_t address);
    void Remove(uint32_t address);
    uint32_t Of(uint32_t address) const;

private:
    mutable std::mutex m_lock;
    std::unordered_map<uint32_t, uint32_t> m_count;
};

// Lines about refused requests, at most kLinesPerSecond a second; the rest are
// counted and summed up in one line per second, so a flood of requests cannot
// fill the disk with the log. Used by the listener thread only.
class RefusalLog {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr unsigned kLinesPerSecond = 10;

    // One request was refused: true when its own line is to be written.
    bool Refused(Clock::time_point now = Clock::now());
    // Once a second has passed since the first line of a window: the count of
    // refusals left unwritten in it ("N more requests refused"), else "".
    std::string TakeSummary(Clock::time_point now = Clock::now());

private:
    Clock::time_point m_windowStart{};
    unsigned m_linesInWindow = 0;
    unsigned m_unwritten = 0;
};

}  // namespace quillane
