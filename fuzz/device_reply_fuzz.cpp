// libFuzzer target: device replies as anyone on the LAN may send them, through
// the reply reader and the reply handler against a station's device table.
// The first input byte sets the language and the type filter; the rest is a
// run of datagrams, each preceded by its length byte. Each datagram is also
// read cut at every length. Nothing may crash or read out of bounds, and the
// table keeps its shape: rows only appended, each numbered by its position,
// no marker left raised, never more rows than search replies or the bound.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "link/protocol.h"
#include "link/received_datagram.h"
#include "model/null_station_view.h"
#include "runs/reply_handling.h"
#include "runs/station_state.h"

using namespace quillane;

namespace {

ST_CMD_RUN_tag Entry(const uint8_t* data, size_t length) {
    ST_CMD_RUN_tag entry;
    entry.command = length > 4 ? data[4] : 0;
    entry.length = static_cast<int32_t>(length);
    entry.data.reset(new uint8_t[length + 1]);
    if (length) std::memcpy(entry.data.get(), data, length);
    entry.data[length] = 0;
    return entry;
}

void CheckTable(const DeviceTable& table, int searchReplies) {
    const int rows = table.RowCount();
    if (rows > searchReplies || rows > kMaxDeviceRows) std::abort();
    for (int row = 0; row < rows; ++row) {
        if (table.Cell(row, kColNo) != std::to_string(row + 1)) std::abort();
        if (table.Cell(row, kColMarker) != "0") std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NullStationView view;
    static StationState* station = [] {
        StationNetwork network;
        network.startServices = false;
        return new StationState(view, "/nonexistent/", network);
    }();
    if (size < 1) return 0;
    const uint8_t settings = data[0];
    station->m_nLanguage = settings & 3;
    station->m_bPlayDev = (settings >> 2) & 1;
    station->m_bPowerDev = (settings >> 3) & 1;
    station->m_bSmallPoxSoundBoxDev = (settings >> 4) & 1;
    station->m_DeviceList.DeleteAllRows();

    int searchReplies = 0;
    for (size_t at = 1; at < size;) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        const uint8_t* datagram = data + at + 1;
        at += 1 + length;
        for (size_t cut = 0; cut < length; ++cut)
            (void)ReadDeviceReply(std::span<const uint8_t>(datagram, cut));
        if (std::holds_alternative<SearchReply>(ReadDeviceReply(std::span<const uint8_t>(datagram, length))))
            ++searchReplies;
        HandleDeviceReply(*station, Entry(datagram, length));
    }
    CheckTable(station->m_DeviceList, searchReplies);
    return 0;
}
