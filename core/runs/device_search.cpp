#include "runs/device_search.h"

#include "link/adapter_query.h"
#include "link/protocol.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/device_services.h"
#include "runs/station_state.h"
#include "support/tick_clock.h"

namespace quillane {
namespace {

// The three probes leave by every network card, so devices behind each are found.
void SendSearchProbes(StationState& station) {
    const Datagram probe = BuildSearchProbe();
    const IPv4Address group(station.Network().commandGroup);
    const std::vector<uint32_t> interfaces =
        group.IsMulticast() ? EthernetInterfaceAddresses() : std::vector<uint32_t>{};
    station.m_DeviceLink.SendToGroupOnEachInterface(group, probe, kSearchProbeCopies, interfaces);
}

// The progress bar follows the walk in whole percent (at most 100 updates,
// however long the range) and drops back to 0 when it ends.
class WalkProgress {
public:
    WalkProgress(StationView& view, uint32_t start, uint32_t end)
        : m_view(view), m_total(start <= end ? uint64_t{end} - start + 1 : 0) {}
    ~WalkProgress() {
        if (m_total > 0) m_view.SetProgress(0);
    }
    void Probed() {
        const int percent = static_cast<int>(++m_probed * 100 / m_total);
        if (percent == m_shown) return;
        m_shown = percent;
        m_view.SetProgress(percent);
    }

private:
    StationView& m_view;
    uint64_t m_total;
    uint64_t m_probed = 0;
    int m_shown = 0;
};

}  // namespace

uint64_t WalkRange(uint32_t start, uint32_t end, const std::function<bool()>& keepGoing,
                   const std::function<void(uint32_t)>& probe) {
    uint64_t visited = 0;
    // 64-bit counter: the walk ends after 255.255.255.255 instead of wrapping to 0.0.0.0.
    for (uint64_t address = start; address <= end && keepGoing(); ++address) {
        probe(static_cast<uint32_t>(address));
        if (++visited % kRangePauseEvery == 0) TickClock::Sleep(kRangePauseMs);
    }
    return visited;
}

void RunSearch(StationState& station, const SearchRequest& request) {
    AutoLock lock(&station.m_ListLock);
    StationView& view = station.View();
    const bool saidTableFull = station.m_DeviceList.RefusedRows() > 0;
    station.m_DeviceList.DeleteAllRows();
    if (saidTableFull) view.SetCaption(kIdNoteLine, Texts(station.m_nLanguage.load()).noteLine);
    // A card that came up since the start hears the replies too.
    JoinReplyGroup(station);
    if (!request.IsRangeWalk()) {
        SendSearchProbes(station);
    } else {  // item 1, or no selection at all
        const uint32_t start = request.rangeStart;
        const uint32_t end = request.rangeEnd;
        const Datagram first = BuildRangeProbe(kCodeRangeProbe);
        const Datagram second = BuildRangeProbe(kCodeRangeProbeSecond);
        WalkProgress progress(view, start, end);
        WalkRange(
            start, end, [&station] { return station.m_bLoopRun.load() != 0; },
            [&](uint32_t address) {
                station.m_DeviceLink.SendTo(IPv4Address(address), first);
                station.m_DeviceLink.SendTo(IPv4Address(address), second);
                progress.Probed();
            });
    }
    station.m_bSearchRequest = 0;
}

}  // namespace quillane
