#include "runs/command_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "core/runs/reply_bytes.h"
#include "link/protocol.h"
#include "model/settings.h"
#include "model/texts.h"
#include "runs/device_search.h"
#include "runs/device_services.h"
#include "runs/station_state.h"
#include "runs/upgrade_run.h"
#include "support/tick_clock.h"
#include "testing/loopback_network.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"

using namespace quillane;
using quillane::test::LoopbackNetwork;
using quillane::test::RecordingView;

namespace {

constexpr uint32_t kLoopback = 0x7F000001;  // 127.0.0.1, host order

// A socket standing in for the devices: every command sent to the command
// port on 127.0.0.0/8 arrives here.
class DeviceSocket {
public:
    DeviceSocket() : m_socket(UdpSocketCreate()) {
        SocketBind(m_socket, htonl(INADDR_ANY), 0);
        SocketSetIntOption(m_socket, SOL_SOCKET, SO_RCVBUF, 1 << 20);
    }
    ~DeviceSocket() { SocketClose(m_socket); }
    uint16_t Port() const { return SocketLocalPort(m_socket); }

    // Everything that arrived within `waitMs` of the previous datagram, at most `limit`.
    std::vector<Datagram> Drain(int waitMs = 100, size_t limit = SIZE_MAX) {
        std::vector<Datagram> all;
        uint8_t buffer[6000];
        while (all.size() < limit && SocketWaitReadable(m_socket, waitMs) == 1) {
            const int n = SocketReceiveFrom(m_socket, buffer, sizeof buffer, nullptr);
            if (n > 0) all.emplace_back(buffer, buffer + n);
        }
        return all;
    }

private:
    SocketHandle m_socket;
};

class CommandLoopTest : public ::testing::Test {
protected:
    CommandLoopTest() : station(view, dir.Dir(), LoopbackNetwork(devices.Port())) {}
    ~CommandLoopTest() override { TickClock::UseReal(); }

    void SetUp() override {
        TickClock::UseManual(100000);
        station.m_nLanguage = 2;
        // The endpoint's socket without its receive thread: the passes run on the test thread.
        ASSERT_EQ(UdpEndpointOpen(station.m_DeviceEndpoint, 0, nullptr, nullptr), 1);
        station.m_bLoopRun = 1;
    }

    void Queue(const Datagram& d) {
        QueueDeviceDatagram(nullptr, d.data(), static_cast<int>(d.size()), &station);
    }
    size_t QueueSize() {
        AutoLock lock(&station.m_QueueLock);
        return station.m_CmdQueue.size();
    }
    int AddRow(int32_t number, const std::string& marker, const std::string& state = "") {
        DeviceRow cells;
        cells[kColDeviceNo] = std::to_string(number);
        cells[kColMarker] = marker;
        cells[kColState] = state;
        const int row = station.m_DeviceList.AppendRow(cells);
        // A marked row is one the batch left waiting for its answer.
        if (marker == "1" && row >= 0) station.m_DeviceList.SetRowState(row, RowState::Waiting(), state);
        return row;
    }
    bool Pass() { return RunCommandLoopPass(station, state); }
    void RangeSearch(uint32_t start, uint32_t end) {
        view.findType = 1;
        view.rangeStart = start;
        view.rangeEnd = end;
        station.RequestSearch(view.Search());
        EXPECT_TRUE(Pass());
    }

    DeviceSocket devices;
    RecordingView view;
    test::TempFolder dir;
    StationState station;
    CommandLoopState state;
};

}  // namespace

TEST_F(CommandLoopTest, QueueKeepsDatagramsOf16BytesAndMoreAsTerminatedCopies) {
    Datagram d(16);
    for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(0xA0 + i);
    QueueDeviceDatagram(nullptr, d.data(), 15, &station);
    QueueDeviceDatagram(nullptr, d.data(), 16, nullptr);
    EXPECT_EQ(QueueSize(), 0u);

    Queue(d);
    ASSERT_EQ(QueueSize(), 1u);
    AutoLock lock(&station.m_QueueLock);
    const ST_CMD_RUN_tag& entry = station.m_CmdQueue.front();
    EXPECT_EQ(entry.command, 0xA4);
    EXPECT_EQ(entry.length, 16);
    EXPECT_TRUE(std::equal(d.begin(), d.end(), entry.data.get()));
    EXPECT_EQ(entry.data[16], 0);
    EXPECT_TRUE(station.m_hLoopEvent.Wait(0)) << "an idle loop is woken by the first queued reply";
}

TEST_F(CommandLoopTest, AFloodOfDatagramsIsCutAtTheQueueBound) {
    const Datagram d(16, 0);
    for (size_t i = 0; i < kMaxQueuedDatagrams + 10; ++i) Queue(d);
    EXPECT_EQ(QueueSize(), kMaxQueuedDatagrams);
    EXPECT_TRUE(Pass());
    Queue(d);  // room again once the loop took one
    EXPECT_EQ(QueueSize(), kMaxQueuedDatagrams);
}

// While the loop is busy (a range walk holds it for half a minute) nothing is
// taken out: a flood of long foreign datagrams must not pile up without bound,
// and replies must still find room afterwards.
TEST_F(CommandLoopTest, LongDatagramsCannotFillMemoryWhileTheLoopIsBusy) {
    struct Case {
        size_t length;
        size_t floodCount;
        size_t expectedQueued;
    };
    const Case cases[] = {
        {kFullChangeResultLength, 1000, 1000},  // replies: only the count bound
        {kTypedSearchReplyLength, 1000, 1000},
        {kTypedSearchReplyLength + 1, kMaxQueuedLongDatagrams + 50, kMaxQueuedLongDatagrams},
        {kEndpointMaxDatagram, kMaxQueuedLongDatagrams + 50, kMaxQueuedLongDatagrams},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        {
            AutoLock lock(&station.m_QueueLock);
            station.m_CmdQueue.clear();
        }
        const Datagram d(c.length, 0);
        for (size_t i = 0; i < c.floodCount; ++i) Queue(d);
        EXPECT_EQ(QueueSize(), c.expectedQueued);
        size_t bytes = 0;
        {
            AutoLock lock(&station.m_QueueLock);
            for (const ST_CMD_RUN_tag& entry : station.m_CmdQueue)
                bytes += static_cast<size_t>(entry.length) + 1;
        }
        EXPECT_LE(bytes, size_t{64} << 20);
        Queue(Datagram(kSearchReplyLength, 0));  // a reply still gets in
        EXPECT_EQ(QueueSize(), c.expectedQueued + 1);
    }
}

TEST_F(CommandLoopTest, OnePassDoesOneKindOfWorkInItsOrder) {
    AddRow(99, "0");
    Queue(SearchReplyBytes({}));
    Queue(Datagram(16, 0));  // consumed without effect
    station.RequestSearch(view.Search());
    station.m_bUpgrading = 1;
    // A run whose device got its command 9990 ms ago.
    station.m_upgradeRun = std::make_unique<UpgradeRun>(
        std::vector<UpgradeRunDevice>{{0, IPv4Address::Parse("127.0.0.2")}}, UpgradeSlotLimits{}, 0);
    station.m_upgradeRun->Slots().StartDevices(TickClock::Now() - 9990);
    station.m_bModifyRequest = 1;
    station.m_bModifyContinue = 1;
    station.m_DeviceList.m_bSortEnabled = 0;

    EXPECT_TRUE(Pass());  // replies first, one per pass
    EXPECT_EQ(station.m_DeviceList.RowCount(), 2);
    EXPECT_EQ(station.m_bSearchRequest, 1);
    EXPECT_TRUE(Pass());
    EXPECT_EQ(QueueSize(), 0u);
    EXPECT_EQ(station.m_bSearchRequest, 1);

    EXPECT_TRUE(Pass());  // then the search, which empties the table
    EXPECT_EQ(station.m_bSearchRequest, 0);
    EXPECT_EQ(station.m_DeviceList.RowCount(), 0);
    EXPECT_EQ(station.m_bModifyRequest, 1);

    EXPECT_FALSE(Pass()) << "an upgrade step is followed by a wait, not a spin";
    EXPECT_EQ(CommandLoopWaitMs(station), 11u) << "until the device could first time out";
    EXPECT_EQ(station.m_bModifyRequest, 1) << "an address change waits while an upgrade runs";

    station.m_bUpgrading = 0;
    EXPECT_TRUE(Pass());  // the address-change batch last
    EXPECT_EQ(station.m_bModifyRequest, 0);
    EXPECT_EQ(station.m_bModifyContinue, 0);
    EXPECT_EQ(station.m_DeviceList.m_bSortEnabled, 1);
    EXPECT_EQ(station.m_dwModifyTick, TickClock::Now());

    EXPECT_FALSE(Pass());
    EXPECT_EQ(CommandLoopWaitMs(station), kLoopIdleWaitMs);
}

TEST_F(CommandLoopTest, AutomaticSearchSendsThreeProbesToTheCommandGroup) {
    AddRow(1, "0");
    view.findType = 0;
    station.RequestSearch(view.Search());
    EXPECT_TRUE(Pass());
    EXPECT_EQ(station.m_DeviceList.RowCount(), 0);
    const std::vector<Datagram> sent = devices.Drain();
    EXPECT_EQ(sent, std::vector<Datagram>(3, BuildSearchProbe()));
}

TEST_F(CommandLoopTest, RangeWalkSendsBothProbesPerAddressAndPausesEvery20) {
    struct Case {
        int findType;
        uint32_t start, end;
        size_t addresses;
        uint32_t pauses;
    };
    const Case cases[] = {
        {1, kLoopback, kLoopback, 1, 0},
        {1, kLoopback, kLoopback + 39, 40, 2},
        {1, kLoopback, kLoopback + 40, 41, 2},
        {-1, kLoopback + 5, kLoopback + 6, 2, 0},  // no selection searches the range too
        {1, kLoopback + 1, kLoopback, 0, 0},       // start above end: nothing sent
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.addresses);
        TickClock::UseManual(100000);
        AddRow(1, "0");
        view.findType = c.findType;
        view.rangeStart = c.start;
        view.rangeEnd = c.end;
        station.RequestSearch(view.Search());
        EXPECT_TRUE(Pass());
        EXPECT_EQ(station.m_DeviceList.RowCount(), 0);
        const std::vector<Datagram> sent = devices.Drain();
        ASSERT_EQ(sent.size(), 2 * c.addresses);
        for (size_t i = 0; i < sent.size(); i += 2) {
            EXPECT_EQ(sent[i], BuildRangeProbe(kCodeRangeProbe));
            EXPECT_EQ(sent[i + 1], BuildRangeProbe(kCodeRangeProbeSecond));
        }
        EXPECT_EQ(TickClock::SleepCount(), c.pauses);
    }
}

// The bar follows the walk in whole percent and drops back to 0 at its end,
// however many addresses the range holds; an automatic search leaves it alone.
TEST_F(CommandLoopTest, RangeWalkMovesTheProgressBarAndResetsIt) {
    struct Case {
        int findType;
        uint32_t addresses;
        bool loopRuns;
        std::vector<int> expected;
    };
    std::vector<int> everyPercent;
    for (int p = 1; p <= 100; ++p) everyPercent.push_back(p);
    everyPercent.push_back(0);
    const Case cases[] = {
        {1, 3, true, {33, 66, 100, 0}},
        {1, 1, true, {100, 0}},
        {1, 200, true, everyPercent},  // one update per percent, not per address
        {1, 0, true, {}},              // start above end: no walk, no bar
        {1, 100, false, {0}},          // closing ends the walk: the bar still goes back
        {0, 0, true, {}},              // automatic search
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.findType << "/" << c.addresses);
        TickClock::UseManual(100000);
        view.progressHistory.clear();
        station.m_bLoopRun = c.loopRuns ? 1 : 0;
        view.findType = c.findType;
        view.rangeStart = kLoopback + 1;
        view.rangeEnd = kLoopback + c.addresses;  // one below the start for 0 addresses
        station.RequestSearch(view.Search());
        EXPECT_TRUE(Pass());
        EXPECT_EQ(view.progressHistory, c.expected);
        devices.Drain(20);
    }
}

TEST(RangeWalk, EndsAtTheLastAddressAndWhenToldToStop) {
    std::vector<uint32_t> visited;
    auto record = [&](uint32_t a) { visited.push_back(a); };
    auto always = [] { return true; };
    EXPECT_EQ(WalkRange(0xFFFFFFFE, 0xFFFFFFFF, always, record), 2u);
    EXPECT_EQ(visited, (std::vector<uint32_t>{0xFFFFFFFE, 0xFFFFFFFF})) << "no wrap to 0.0.0.0";

    visited.clear();
    int checks = 0;
    EXPECT_EQ(WalkRange(
                  0, 0xFFFFFFFF, [&] { return ++checks <= 3; }, record),
              3u);
    EXPECT_EQ(visited, (std::vector<uint32_t>{0, 1, 2})) << "stops between two addresses";
}

TEST_F(CommandLoopTest, RangeSearchStopsWhenTheLoopIsToldToEnd) {
    station.m_bLoopRun = 0;
    RangeSearch(kLoopback, kLoopback + 100);
    EXPECT_TRUE(devices.Drain(50).empty());
    EXPECT_EQ(station.m_bSearchRequest, 0);
}

TEST_F(CommandLoopTest, FindDuringARunningSearchIsAbsorbed) {
    view.onProgress = [&](int) { station.RequestSearch(view.Search()); };  // pressed while the walk runs
    RangeSearch(kLoopback, kLoopback + 2);
    EXPECT_EQ(station.m_bSearchRequest, 0);
    EXPECT_FALSE(Pass()) << "no second search follows";
    EXPECT_EQ(devices.Drain().size(), 6u);
}

TEST_F(CommandLoopTest, AnswerCheckFailsSilentDevicesFourSecondsAfterTheLastResult) {
    const int silent = AddRow(1, "1", Texts(2).stateModifying);
    const int answering = AddRow(2, "1", Texts(2).stateModifying);
    const int untouched = AddRow(3, "0", "earlier");
    station.m_bModifyRequest = 1;
    EXPECT_TRUE(Pass());  // batch done at 100000: check armed

    TickClock::Advance(3000);
    Queue(ShortResultBytes(2, 1));
    EXPECT_TRUE(Pass());  // the result moves the base to 103000
    EXPECT_EQ(station.m_DeviceList.Cell(answering, kColState), "Success");

    TickClock::Advance(4000);
    Pass();
    EXPECT_EQ(station.m_DeviceList.Cell(silent, kColMarker), "1") << "exactly 4000 ms is not yet late";

    TickClock::Advance(1);
    Pass();
    EXPECT_EQ(station.m_DeviceList.Row(silent)[kColState], "Failure");
    EXPECT_EQ(station.m_DeviceList.Cell(silent, kColMarker), "0");
    EXPECT_EQ(station.m_DeviceList.RowStateOf(silent), RowState::Failed(FailureReason::kNoAnswer));
    EXPECT_EQ(station.m_DeviceList.RowStateOf(answering), RowState::Succeeded());
    EXPECT_EQ(station.m_DeviceList.Cell(answering, kColState), "Success");
    EXPECT_EQ(station.m_DeviceList.Cell(untouched, kColState), "earlier");

    // Disarmed: a marker written later is left alone.
    station.m_DeviceList.SetCell(silent, kColMarker, "1");
    TickClock::Advance(60000);
    Pass();
    EXPECT_EQ(station.m_DeviceList.Cell(silent, kColMarker), "1");
}

// The GUI thread sorts by a header click while the loop's answer check runs:
// the failure text must land only in the rows of the devices still waiting.
// Each failure the check writes asks for a sort and lets the sorter get to
// the table's lock first, so a sort comes whenever the check lets go of it.
TEST_F(CommandLoopTest, AnswerCheckFailsOnlyWaitingDevicesWhileTheTableIsSorted) {
    class SortOnFailure : public DeviceTableObserver {
    public:
        void RowsCleared() override {}
        void RowAppended(int, const DeviceRow&) override {}
        void RowsReordered(const std::vector<DeviceRow>&) override {}
        void CellChanged(int, int column, const std::string& text) override {
            if (column != kColState || text != "Failure" || ++failures > 60) return;
            sortWanted = true;
            for (int i = 0; i < 500 && !sorting; ++i)
                std::this_thread::sleep_for(std::chrono::microseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the sorter now waits for the table
        }
        std::atomic<bool> sortWanted{false}, sorting{false};
        int failures = 0;
    };
    for (int i = 0; i < 400; ++i) AddRow(i, i % 2 ? "1" : "0", i % 2 ? Texts(2).stateModifying : "answered");
    SortOnFailure sorter;
    station.m_DeviceList.SetObserver(&sorter);
    std::atomic<bool> done{false};
    std::thread loop([&] {
        station.m_bModifyRequest = 1;
        Pass();
        TickClock::Advance(kAnswerTimeoutMs + 1);
        Pass();
        done = true;
    });
    for (int column = 0; !done;) {
        if (!sorter.sortWanted.exchange(false)) {
            std::this_thread::sleep_for(std::chrono::microseconds(20));
            continue;
        }
        sorter.sorting = true;
        station.m_DeviceList.HeaderClick(column == kColDeviceNo ? kColDeviceNo : kColState);
        column = column == kColDeviceNo ? kColState : kColDeviceNo;
        sorter.sorting = false;
    }
    loop.join();
    station.m_DeviceList.SetObserver(nullptr);
    for (int row = 0; row < station.m_DeviceList.RowCount(); ++row) {
        const int32_t number = ReadDecimal(station.m_DeviceList.Cell(row, kColDeviceNo));
        EXPECT_EQ(station.m_DeviceList.Cell(row, kColState), number % 2 ? "Failure" : "answered") << number;
        EXPECT_EQ(station.m_DeviceList.Cell(row, kColMarker), "0") << number;
    }
}

TEST_F(CommandLoopTest, AnswerCheckRestartsWhenTheTickCountWraps) {
    const int row = AddRow(1, "1", Texts(2).stateModifying);
    TickClock::Set(0xFFFFF000);
    station.m_bModifyRequest = 1;
    Pass();
    TickClock::Set(100);  // wrapped: the stamp is ahead of the clock
    Pass();
    EXPECT_EQ(station.m_dwModifyTick, 100u);
    TickClock::Set(4100);
    Pass();
    EXPECT_EQ(station.m_DeviceList.Cell(row, kColMarker), "1");
    TickClock::Set(4101);
    Pass();
    EXPECT_EQ(station.m_DeviceList.Cell(row, kColState), "Failure");
}

TEST_F(CommandLoopTest, AnswerCheckWritesNoTextForAnUnknownLanguage) {
    const int row = AddRow(1, "1", "Modify...");
    station.m_nLanguage = 3;
    station.m_bModifyRequest = 1;
    Pass();
    TickClock::Advance(4001);
    Pass();
    EXPECT_EQ(station.m_DeviceList.Cell(row, kColState), "Modify...");
    EXPECT_EQ(station.m_DeviceList.Cell(row, kColMarker), "0");
}

// The loop thread itself: started and stopped as the window does, over loopback.
// Whoever drives the station without a window learns from the loop when a
// search has its probes out and when an address change is over: once its
// batch went out and no device is awaited any more, by answer or by the
// answer check; not while one still is.
TEST_F(CommandLoopTest, TheLoopTellsWhenASearchAndAnAddressChangeEnd) {
    struct Ends : RunObserver {
        void RunEnded(RunKind kind) override { ended.push_back(kind); }
        std::vector<RunKind> ended;
    } ends;
    station.SetRunObserver(&ends);
    view.findType = 0;
    station.RequestSearch(view.Search());
    EXPECT_TRUE(Pass());
    EXPECT_EQ(ends.ended, std::vector<RunKind>{RunKind::kSearch});

    for (const bool answered : {true, false}) {
        SCOPED_TRACE(answered ? "answered" : "given up");
        ends.ended.clear();
        const int row = AddRow(7, "1");
        station.m_DeviceList.SetRowState(row, RowState::Waiting(), "Modify...");
        station.m_bModifyRequest = 1;
        EXPECT_TRUE(Pass());  // the batch (nothing chosen) is done; device 7 is still awaited
        EXPECT_TRUE(ends.ended.empty());
        if (answered) {
            Queue(ShortResultBytes(7, 1));
            Pass();
        } else {
            TickClock::Advance(kAnswerTimeoutMs + 1);
            Pass();
        }
        EXPECT_EQ(ends.ended, std::vector<RunKind>{RunKind::kAddressChange});
        Pass();
        EXPECT_EQ(ends.ended.size(), 1u) << "told once";
        station.m_DeviceList.DeleteAllRows();
    }
    station.SetRunObserver(nullptr);
}

TEST(CommandLoopThread, ListsQueuedRepliesAndStopsWithinItsBound) {
    RecordingView view;
    DeviceSocket devices;
    StationState station(view, "/nonexistent/", LoopbackNetwork(devices.Port()));
    station.m_nLanguage = 2;
    StartDeviceEndpoint(station);
    StartCommandLoop(station);
    const uint16_t port = SocketLocalPort(station.m_DeviceEndpoint.socket);
    ASSERT_NE(port, 0);

    view.findType = 0;
    station.RequestSearch(view.Search());
    station.m_hLoopEvent.Set();
    ASSERT_EQ(devices.Drain(2000, 3).size(), 3u);

    const SocketHandle device = UdpSocketCreate();
    for (int32_t number = 1; number <= 50; ++number) {
        FakeDevice dev;
        dev.number = number;
        const Datagram reply = SearchReplyBytes(dev);
        for (int copy = 0; copy < 3; ++copy) {  // every probe copy is answered
            SocketSendTo(device, reply.data(), reply.size(), MakeAddress(htonl(kLoopback), port));
        }
    }
    SocketClose(device);
    for (int i = 0; i < 200 && station.m_DeviceList.RowCount() < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(station.m_DeviceList.RowCount(), 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(station.m_DeviceList.RowCount(), 50) << "each device listed once";

    const auto start = std::chrono::steady_clock::now();
    StopCommandLoop(station);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_FALSE(station.m_hLoopThread.Joinable());
}

// Once a search has settled, the first trouble found goes to the note line;
// the table keeps its texts, and a search without trouble leaves the line alone.
TEST_F(CommandLoopTest, ASettledSearchPointsOutTroubleOnTheNoteLine) {
    station.SetLocalAddresses({{"10.0.0.1"}, {"255.255.255.0"}});
    auto listDevice = [this](int32_t number, const char* ip) {
        DeviceRow cells;
        cells[kColDeviceNo] = std::to_string(number);
        cells[kColIP] = ip;
        cells[kColMask] = "255.255.255.0";
        station.m_DeviceList.AppendRow(cells);
    };
    view.findType = 0;
    station.RequestSearch(view.Search());
    EXPECT_TRUE(Pass());
    listDevice(1, "10.0.0.5");
    TickClock::Advance(1000);
    Pass();
    listDevice(2, "10.0.0.5");
    Pass();  // the loop notices the new row here
    TickClock::Advance(kSearchSettleMs - 1);
    Pass();
    EXPECT_EQ(view.captions.count(kIdNoteLine), 0u) << "replies came in until just now";
    TickClock::Advance(1);
    Pass();
    EXPECT_EQ(view.Caption(kIdNoteLine), "Devices 1, 2 share the IP address 10.0.0.5");
    EXPECT_EQ(station.m_DeviceList.Cell(1, kColState), "");

    view.captions.clear();
    station.m_nLanguage = 1;
    station.RequestSearch(view.Search());
    EXPECT_TRUE(Pass());  // the table is emptied before the probes
    listDevice(3, "10.0.0.7");
    TickClock::Advance(10000);
    Pass();
    Pass();
    EXPECT_EQ(view.captions.count(kIdNoteLine), 0u);
}
