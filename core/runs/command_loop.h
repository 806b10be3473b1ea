#pragma once

// The received-datagram queue and the command loop: the device endpoint's
// receive thread only queues, the boot endpoint and the TFTP transfers only
// post events; one loop thread hands queued replies to the reply handler,
// answers boot requests, runs searches and address-change batches, moves
// upgrade runs on, and marks devices that never answered an address change.

#include <cstddef>
#include <cstdint>

#include "runs/search_aftercheck.h"
#include "support/udp_socket.h"

namespace quillane {

class StationState;

inline constexpr int kMinQueuedDatagram = 16;  // shorter datagrams are dropped
// Bound on waiting datagrams: room for every reply of a range walk over a
// full /16 (two per device), so only a flood of foreign datagrams is cut.
inline constexpr size_t kMaxQueuedDatagrams = 1 << 18;
// Datagrams longer than any reply (up to 5000 bytes each) are only ever
// consumed without effect; they get in only while the queue is short, so a
// flood of them while the loop is busy stays within about 40 MB.
inline constexpr size_t kLongestReplyLength = 56;
inline constexpr size_t kMaxQueuedLongDatagrams = 1 << 13;
inline constexpr uint32_t kLoopIdleWaitMs = 1000;   // wait of a pass without work
inline constexpr uint32_t kAnswerTimeoutMs = 4000;  // after the batch or the last change result

// The loop's own state between passes.
struct CommandLoopState {
    bool answerCheckArmed = false;
    bool changeRunOpen = false;  // a batch went out; its end is not yet reported
    SearchAftercheck searchAftercheck;
};

// UdpReceiveCallback of the device endpoint; `user` is the station. Copies the
// datagram (plus a zero byte) and appends it under m_QueueLock; drops it when
// kMaxQueuedDatagrams are already waiting, or, when it is longer than any
// reply, kMaxQueuedLongDatagrams.
void QueueDeviceDatagram(const sockaddr_in* from, const uint8_t* data, int length, void* user);

// Start routine of the loop thread; returns 1.
int CommandLoopThread(StationState* station);
// Runs passes until m_bLoopRun is no longer 1.
void RunCommandLoop(StationState& station);
// Handles every event other threads posted (loop_events.h), oldest first:
// run starts, boot requests, transfer progress and ends. Returns how many.
size_t HandleLoopEvents(StationState& station);
// One pass: the posted events, then at most one kind of work (queued reply,
// search, upgrade step, address-change batch, in this order), then the answer check. Returns
// whether the loop may go on without waiting.
bool RunCommandLoopPass(StationState& station, CommandLoopState& state);
// How long the loop waits after a pass that returned false: during an upgrade
// run until the current device could time out, so the step neither spins nor
// sees the time-out late.
uint32_t CommandLoopWaitMs(const StationState& station);

}  // namespace quillane
