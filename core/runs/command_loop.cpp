#include "runs/command_loop.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <variant>

#include "link/protocol.h"
#include "model/texts.h"
#include "runs/address_change_sender.h"
#include "runs/boot_responder.h"
#include "runs/device_search.h"
#include "runs/reply_handling.h"
#include "runs/station_state.h"
#include "runs/transfer_callbacks.h"
#include "runs/upgrade_step.h"
#include "support/tick_clock.h"

namespace quillane {
static_assert(kLongestReplyLength == kTypedSearchReplyLength);

namespace {

std::optional<ST_CMD_RUN_tag> TakeQueuedDatagram(StationState& station) {
    AutoLock lock(&station.m_QueueLock);
    if (station.m_CmdQueue.empty()) return std::nullopt;
    ST_CMD_RUN_tag entry = std::move(station.m_CmdQueue.front());
    station.m_CmdQueue.pop_front();
    return entry;
}

// The request is cleared last: until then a press of the button counts as a
// stop request, never as the start of a new run.
void FinishAddressChangeBatch(StationState& station, CommandLoopState& state) {
    station.m_DeviceList.m_bSortEnabled = 1;
    station.m_bModifyContinue = 0;
    station.m_bModifyRequest = 0;
    state.answerCheckArmed = true;
    state.changeRunOpen = true;
    station.m_dwModifyTick = GetTickCount();
}

// An address-change run ends once its batch went out and no device is still
// awaited: every one answered, or the answer check gave up on it.
void ReportAddressChangeEnd(StationState& station, CommandLoopState& state) {
    if (!state.changeRunOpen || station.m_DeviceList.RowsWithStatus(RowStatus::kWaiting) > 0) return;
    state.changeRunOpen = false;
    station.NotifyRunEnded(RunKind::kAddressChange);
}

// A row still waits for its address-change answer while it is marked and its
// state says so: an upgrade run started since then has taken the row over,
// and the run's states are not the batch's to fail.
bool AwaitsChangeAnswer(const DeviceRow& cells, const RowState& state) {
    return cells[kColMarker] == "1" && state.status == RowStatus::kWaiting;
}

// Devices still awaiting an address-change answer are shown failed.
// Marker and State are read and written in one step of the table, so a header
// click between them cannot move another device into the row.
void MarkUnansweredDevices(StationState& station) {
    const RowState noAnswer = RowState::Failed(FailureReason::kNoAnswer);
    const std::optional<std::string> failure = StateText(noAnswer, station.m_nLanguage.load());
    station.m_DeviceList.RewriteRowsAndStates([&](const DeviceRow& cells, const RowState& state) {
        DeviceTable::RowUpdate update;
        if (AwaitsChangeAnswer(cells, state)) {
            if (failure) update.cells.emplace_back(kColState, *failure);
            update.state = noAnswer;
        }
        if (cells[kColMarker] != "0") update.cells.emplace_back(kColMarker, "0");
        return update;
    });
}

// Runs once 4000 ms have passed since the batch or since the last change
// result; a stamp ahead of the clock (the counter wrapped) restarts the count.
void RunAnswerCheck(StationState& station, CommandLoopState& state) {
    if (!state.answerCheckArmed) return;
    const uint32_t now = GetTickCount();
    const uint32_t since = station.m_dwModifyTick.load();
    if (now < since) {
        station.m_dwModifyTick = now;
        return;
    }
    if (now - since <= kAnswerTimeoutMs) return;
    MarkUnansweredDevices(station);
    state.answerCheckArmed = false;
}

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

void HandleLoopEvent(StationState& station, const LoopEvent& event) {
    std::visit(
        Overloaded{
            [&](const UpgradeStartEvent& e) { StartUpgradeRun(station, e.row); },
            [&](const BootRequestEvent& e) { AnswerBootRequest(station, e.packet.data(), e.packet.size()); },
            [&](const TransferProgressEvent& e) { HandleTransferProgress(station, e.client, e.delivery); },
            [&](const TransferEndEvent& e) { HandleTransferEnd(station, e.client, e.delivered); },
        },
        event);
}

}  // namespace

size_t HandleLoopEvents(StationState& station) {
    size_t handled = 0;
    while (std::optional<LoopEvent> event = station.TakeLoopEvent()) {
        HandleLoopEvent(station, *event);
        ++handled;
    }
    return handled;
}

void QueueDeviceDatagram(const sockaddr_in*, const uint8_t* data, int length, void* user) {
    auto* station = static_cast<StationState*>(user);
    if (!station || !data || length < kMinQueuedDatagram) return;
    ST_CMD_RUN_tag entry;
    entry.command = data[4];
    entry.length = length;
    // The extra zero byte lets readers treat the copy as a terminated text.
    entry.data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length) + 1]);
    if (!entry.data) return;
    std::memcpy(entry.data.get(), data, static_cast<size_t>(length));
    entry.data[static_cast<size_t>(length)] = 0;
    bool wasEmpty = false;
    try {
        AutoLock lock(&station->m_QueueLock);
        const size_t waiting = station->m_CmdQueue.size();
        if (waiting >= kMaxQueuedDatagrams) return;
        if (static_cast<size_t>(length) > kLongestReplyLength && waiting >= kMaxQueuedLongDatagrams) return;
        wasEmpty = waiting == 0;
        station->m_CmdQueue.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        return;  // dropped like a failed copy
    }
    // Wake an idle loop so a reply is listed at once rather than after its idle wait.
    if (wasEmpty) station->m_hLoopEvent.Set();
}

bool RunCommandLoopPass(StationState& station, CommandLoopState& state) {
    HandleLoopEvents(station);
    bool goOn = true;
    if (std::optional<ST_CMD_RUN_tag> entry = TakeQueuedDatagram(station)) {
        HandleDeviceReply(station, *entry);
    } else if (station.m_bSearchRequest.load() == 1) {
        RunSearch(station, station.TakeSearchRequest().value_or(SearchRequest{}));
        station.m_bSearchRequest = 0;
        station.NotifyRunEnded(RunKind::kSearch);
        state.searchAftercheck.SearchSent(GetTickCount());
    } else if (station.m_bUpgrading.load() == 1) {
        UpgradeStep(station);
        goOn = false;  // the step only acts on a time-out: wait for it instead of spinning
    } else if (station.m_bModifyRequest.load() == 1) {
        SendAddressChanges(station, station.TakeAddressChangeRequest().value_or(AddressChangeRequest{}));
        FinishAddressChangeBatch(station, state);
    } else {
        goOn = false;
    }
    RunAnswerCheck(station, state);
    ReportAddressChangeEnd(station, state);
    state.searchAftercheck.Pass(station, GetTickCount());
    return goOn;
}

uint32_t CommandLoopWaitMs(const StationState& station) {
    return station.m_bUpgrading.load() == 1 ? UpgradeStepWaitMs(station, kLoopIdleWaitMs) : kLoopIdleWaitMs;
}

void RunCommandLoop(StationState& station) {
    const uint32_t start = GetTickCount();
    station.m_dwUpgradeTick = start;
    station.m_dwModifyTick = start;
    CommandLoopState state;
    while (station.m_bLoopRun.load() == 1) {
        if (!RunCommandLoopPass(station, state)) station.m_hLoopEvent.Wait(CommandLoopWaitMs(station));
    }
}

int CommandLoopThread(StationState* station) {
    if (station) RunCommandLoop(*station);
    return 1;
}

}  // namespace quillane
