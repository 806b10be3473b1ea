// Memory of the device table under a flood of search replies, each from a
// device number not seen before, handed to the reply handler as the command
// loop does: heap bytes per listed row, the heap and the row count after a
// million such replies, and what is left once a search empties the table.
//
//   device_table_bench [replies = 1000000]
//
// Heap figures are glibc's bytes in use (mallinfo2), so they count what the
// table holds, not what the allocator keeps in reserve; the resident set
// size is printed beside them.

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "link/received_datagram.h"
#include "model/null_station_view.h"
#include "runs/reply_handling.h"
#include "station/station.h"

using namespace quillane;
using Clock = std::chrono::steady_clock;

namespace {

// Small blocks in use plus the large blocks glibc maps on their own.
size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

void Put(std::vector<uint8_t>& d, size_t offset, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) d[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A typed search reply of a play terminal (its type name needs the heap, as
// most type names do) with its own number and addresses.
ST_CMD_RUN_tag Reply(int32_t number) {
    std::vector<uint8_t> d(56, 0);
    Put(d, 0, 56);
    d[4] = 0xF1;
    Put(d, 8, static_cast<uint32_t>(number));
    Put(d, 16, 0x0A000000u + static_cast<uint32_t>(number));  // 10.x.y.z
    Put(d, 20, 0xFF000000u);
    Put(d, 24, 0x0A000001u);
    Put(d, 28, 0x0A0000FAu);
    Put(d, 32, 0x0A0000FBu);
    d[44] = 5, d[45] = 12, d[46] = 6, d[47] = 15;
    Put(d, 52, 6401);
    ST_CMD_RUN_tag entry;
    entry.command = d[4];
    entry.length = static_cast<int32_t>(d.size());
    entry.data.reset(new uint8_t[d.size() + 1]);
    std::memcpy(entry.data.get(), d.data(), d.size());
    entry.data[d.size()] = 0;
    return entry;
}

double MiBAbove(size_t now, size_t base) {
    return (double(now) - double(base)) / 1048576.0;
}

}  // namespace

int main(int argc, char** argv) {
    const int replies = argc > 1 ? std::atoi(argv[1]) : 1000000;
    NullStationView view;
    StationNetwork network;
    network.startServices = false;
    Station station(view, "/nonexistent/", network);
    DeviceTable& table = station.m_DeviceList;

    const size_t heapBefore = HeapInUse();
    const size_t rssBefore = ResidentBytes();
    const auto start = Clock::now();
    int fedAtFirstRefusal = 0;
    size_t heapAtFirstRefusal = 0;
    for (int i = 0; i < replies; ++i) {
        const int rowsBefore = table.RowCount();
        HandleDeviceReply(station, Reply(i + 1));
        if (fedAtFirstRefusal == 0 && table.RowCount() == rowsBefore) {
            fedAtFirstRefusal = i + 1;
            heapAtFirstRefusal = HeapInUse();
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const size_t heapAfter = HeapInUse();
    const size_t rssAfter = ResidentBytes();
    const int rows = table.RowCount();

    std::printf("replies fed               %d (fresh device numbers), %.2f us each\n", replies,
                1e6 * seconds / replies);
    std::printf("rows listed               %d (at most %d), replies dropped and counted %llu\n", rows,
                kMaxDeviceRows, static_cast<unsigned long long>(table.RefusedRows()));
    if (fedAtFirstRefusal)
        std::printf("first reply not listed    #%d (heap then %.1f MiB)\n", fedAtFirstRefusal,
                    MiBAbove(heapAtFirstRefusal, heapBefore));
    std::printf(
        "heap per listed row       %.0f bytes\n",
        rows ? double((heapAtFirstRefusal ? heapAtFirstRefusal : heapAfter) - heapBefore) / rows : 0.0);
    std::printf("heap held by the table    %.1f MiB (resident set grew %.1f MiB)\n",
                MiBAbove(heapAfter, heapBefore), MiBAbove(rssAfter, rssBefore));

    table.DeleteAllRows();  // what the next search does first
    std::printf("after the next search     heap %.1f MiB above the start, resident set %.1f MiB above\n",
                MiBAbove(HeapInUse(), heapBefore), MiBAbove(ResidentBytes(), rssBefore));
    return 0;
}
