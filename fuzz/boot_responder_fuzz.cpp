// libFuzzer target: the boot-address responder over a station whose table,
// local lists, run state and firmware path come from the input, followed by a
// datagram of any length. The station's boot socket is absent, so replies go
// nowhere; nothing may crash or read out of bounds.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "link/tftp_server.h"
#include "model/null_station_view.h"
#include "runs/boot_responder.h"
#include "runs/station_state.h"

using namespace quillane;

namespace {

using NoView = NullStationView;

// Splits the input into texts at '\n', the last piece being the datagram.
struct Reader {
    const uint8_t* data;
    size_t size;
    std::string Next() {
        const void* end = std::memchr(data, '\n', size);
        const size_t length = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - data) : size;
        std::string text(reinterpret_cast<const char*>(data), length);
        const size_t used = end ? length + 1 : length;
        data += used;
        size -= used;
        return text;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NoView view;
    static StationState* station = [] {
        StationNetwork network;
        network.startServices = false;
        auto* s = new StationState(view, "/nonexistent/", network);
        s->m_pTftpServer = std::make_unique<TftpServer>();
        return s;
    }();
    if (size < 2) return 0;
    Reader in{data + 2, size - 2};
    station->m_bUpgrading.store(data[0] & 1);
    station->m_nUpgradeRow.store(static_cast<int8_t>(data[1]));
    station->SetUpdateFile(in.Next());
    LocalAddressLists lists;
    const int pairs = data[0] >> 5;
    for (int i = 0; i < pairs; ++i) {
        lists.ips.push_back(in.Next());
        if (data[0] & 2) lists.masks.push_back(in.Next());
    }
    station->SetLocalAddresses(lists);
    station->m_DeviceList.DeleteAllRows();
    const int rows = (data[0] >> 2) & 7;
    for (int i = 0; i < rows; ++i) {
        DeviceRow row;
        row[kColChoice] = in.Next();
        row[kColIP] = in.Next();
        row[kColMask] = in.Next();
        station->m_DeviceList.AppendRow(row);
    }
    AnswerBootRequest(*station, in.data, in.size);
    // And the reply builder alone over the same datagram.
    const auto reply =
        BuildBootReply(in.data, in.size, station->UpdateFile(), FallbackBootAddresses("10.0.0.1"));
    if (reply && reply->size() != kBootPacketSize) __builtin_trap();
    return 0;
}
