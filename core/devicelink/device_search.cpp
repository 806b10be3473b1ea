#include "devicelink/device_search.h"

#include "devicelink/protocol.h"
#include "mainwindow/control_ids.h"
#include "mainwindow/settings.h"
#include "mainwindow/station.h"
#include "mainwindow/texts.h"
#include "support/tick_clock.h"

namespace quillane {
namespace {

void SendTo(Station& station, uint32_t networkOrderAddress, const Datagram& message) {
    station.m_DestAddr.SetAddress(networkOrderAddress);
    SocketSendTo(station.m_DeviceEndpoint.socket, message.data(), message.size(), station.m_DestAddr.Get());
}

void SendSearchProbes(Station& station) {
    const Datagram probe = BuildSearchProbe();
    for (int copy = 0; copy < kSearchProbeCopies; ++copy) SendTo(station, htonl(station.Network().commandGroup), probe);
}

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

void RunSearch(Station& station) {
    AutoLock lock(&station.m_ListLock);
    StationView& view = station.View();
    const bool saidTableFull = station.m_DeviceList.RefusedRows() > 0;
    station.m_DeviceList.DeleteAllRows();
    if (saidTableFull) view.SetCaption(kIdNoteLine, Texts(station.m_nLanguage.load()).noteLine);
    if (view.FindTypeSelection() == 0) {
        SendSearchProbes(station);
    } else {  // item 1, or no selection at all
        const uint32_t start = view.RangeStart();
        const uint32_t end = view.RangeEnd();
        WriteRange(station.m_strAppDir, start, end);
        const Datagram first = BuildRangeProbe(kCodeRangeProbe);
        const Datagram second = BuildRangeProbe(kCodeRangeProbeSecond);
        WalkRange(
            start, end, [&station] { return station.m_bLoopRun.load() != 0; },
            [&](uint32_t address) {
                SendTo(station, htonl(address), first);
                SendTo(station, htonl(address), second);
            });
    }
    station.m_bSearchRequest = 0;
}

}  // namespace quillane
