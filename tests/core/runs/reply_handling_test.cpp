#include "runs/reply_handling.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "core/runs/reply_bytes.h"
#include "link/received_datagram.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/device_search.h"
#include "runs/station_state.h"
#include "support/tick_clock.h"
#include "testing/recording_view.h"

using namespace quillane;

namespace {

ST_CMD_RUN_tag Entry(const std::vector<uint8_t>& d) {
    ST_CMD_RUN_tag entry;
    entry.command = d.size() > 4 ? d[4] : 0;
    entry.length = static_cast<int32_t>(d.size());
    entry.data.reset(new uint8_t[d.size() + 1]);
    std::memcpy(entry.data.get(), d.data(), d.size());
    entry.data[d.size()] = 0;
    return entry;
}

FakeDevice Device(int32_t number, int32_t typeCode, uint32_t ip = 0xC0A80100) {
    FakeDevice d;
    d.number = number;
    d.typeCode = typeCode;
    d.ip = ip + static_cast<uint32_t>(number & 0xFF);
    return d;
}

class ReplyTest : public ::testing::Test {
protected:
    ReplyTest() : station(view, "/nonexistent/") { station.m_nLanguage = 2; }
    void SetUp() override { TickClock::UseManual(5000); }
    void TearDown() override { TickClock::UseReal(); }

    void Feed(const std::vector<uint8_t>& d) { HandleDeviceReply(station, Entry(d)); }
    // Device number and one more column of every row, in table order.
    std::vector<std::pair<std::string, std::string>> Column(int column) {
        std::vector<std::pair<std::string, std::string>> rows;
        for (int r = 0; r < station.m_DeviceList.RowCount(); ++r) {
            rows.emplace_back(station.m_DeviceList.Cell(r, kColDeviceNo),
                              station.m_DeviceList.Cell(r, column));
        }
        return rows;
    }

    test::RecordingView view;
    StationState station;
};

using Rows = std::vector<std::pair<std::string, std::string>>;

}  // namespace

TEST_F(ReplyTest, SearchReplyFillsEveryColumnOfANewRow) {
    station.m_DeviceList.AppendRow(DeviceRow{"1", "", "", "", "", "", "", "", "", "", "500", "0"});
    FakeDevice dev;  // 192.168.1.10 / 255.255.255.0 / .1, servers .250 and .251, version 2015.6.12.5
    dev.number = -77;
    dev.typeCode = 6801;
    Feed(SearchReplyBytes(dev));
    ASSERT_EQ(station.m_DeviceList.RowCount(), 2);
    const DeviceRow expected{"2",
                             "",
                             "2015.6.12.5",
                             "",
                             "192.168.1.10",
                             "255.255.255.0",
                             "192.168.1.1",
                             "192.168.1.250",
                             "192.168.1.251",
                             DeviceTypeName(6801, 2),
                             "-77",
                             "0"};
    EXPECT_EQ(station.m_DeviceList.Row(1), expected);
    EXPECT_EQ(station.m_DeviceList.ItemData(1), 1);
}

TEST_F(ReplyTest, SearchRepliesByTypeFilterAndDeviceNumber) {
    const std::string unknown = Texts(2).unknownDevice;
    struct Case {
        const char* name;
        std::function<void(StationState&)> setup;
        std::vector<std::vector<uint8_t>> replies;
        Rows expected;  // device number, type column
    };
    const Case cases[] = {
        {"every copy of a reply gives one row",
         nullptr,
         {SearchReplyBytes(Device(1, 6401)), SearchReplyBytes(Device(1, 6401)),
          SearchReplyBytes(Device(2, 6401))},
         {{"1", DeviceTypeName(6401, 2)}, {"2", DeviceTypeName(6401, 2)}}},
        {"a listed device is never updated by a search reply",
         nullptr,
         {SearchReplyBytes(Device(1, 6401)), SearchReplyBytes(Device(1, 6801, 0x0A000000))},
         {{"1", DeviceTypeName(6401, 2)}}},
        {"a filtered type is not listed, its untyped reply is",
         [](StationState& s) { s.m_bPlayDev = 0; },
         {SearchReplyBytes(Device(1, 6401)), SearchReplyBytes(Device(2, 6801)),
          SearchReplyBytes(Device(1, 0))},
         {{"2", DeviceTypeName(6801, 2)}, {"1", unknown}}},
        {"untyped replies pass even with every filter off",
         [](StationState& s) {
             for (auto* f :
                  {&s.m_bPlayDev, &s.m_bMorePlayDev, &s.m_bPowerDev, &s.m_bSoundBoxDev, &s.m_bAlarmDev,
                   &s.m_bTelCallDev, &s.m_bSoundCollectionDev, &s.m_bSmallPoxSoundBoxDev,
                   &s.m_bPowerManageDev, &s.m_bAmpMonitorDev, &s.m_bSenseInterfaceDev})
                 f->store(0);
         },
         {SearchReplyBytes(Device(3, 0)), SearchReplyBytes(Device(4, 51))},
         {{"3", unknown}}},
        {"an unknown type code is ignored",
         nullptr,
         {SearchReplyBytes(Device(1, 1234)), SearchReplyBytes(Device(2, 6310))},
         {{"2", unknown}}},
        {"the hidden ceiling-speaker box filters code 6310",
         [](StationState& s) { s.m_bSmallPoxSoundBoxDev = 0; },
         {SearchReplyBytes(Device(2, 6310))},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingView view;
        StationState fresh(view, "/nonexistent/");
        fresh.m_nLanguage = 2;
        if (c.setup) c.setup(fresh);
        for (const auto& r : c.replies) HandleDeviceReply(fresh, Entry(r));
        Rows rows;
        for (int r = 0; r < fresh.m_DeviceList.RowCount(); ++r) {
            rows.emplace_back(fresh.m_DeviceList.Cell(r, kColDeviceNo), fresh.m_DeviceList.Cell(r, kColType));
            EXPECT_EQ(fresh.m_DeviceList.Cell(r, kColNo), std::to_string(r + 1));
        }
        EXPECT_EQ(rows, c.expected);
    }
}

TEST_F(ReplyTest, NonRepliesAreIgnored) {
    std::vector<uint8_t> odd = SearchReplyBytes(Device(1, 0));
    odd.push_back(0);  // 0xF1 with 53 bytes
    std::vector<uint8_t> longFull(56, 0);
    longFull[4] = 0xF2;
    longFull[8] = 1;
    longFull[16] = 1;  // 0xF2 with 56 bytes
    std::vector<uint8_t> probe(20, 0);
    probe[4] = 0xF1;  // a range probe heard back
    const uint32_t before = station.m_dwModifyTick;
    for (const auto& d : {odd, longFull, probe, std::vector<uint8_t>(16, 0)}) Feed(d);
    EXPECT_EQ(station.m_DeviceList.RowCount(), 0);
    EXPECT_EQ(station.m_dwModifyTick, before);
    ST_CMD_RUN_tag empty;
    HandleDeviceReply(station, empty);  // no data at all
}

TEST_F(ReplyTest, ChangeResultsRecordTheOutcomeAndClearTheMarker) {
    for (int32_t n : {1, 2, 3}) Feed(SearchReplyBytes(Device(n, 6401)));
    for (int r = 0; r < 3; ++r) {
        station.m_DeviceList.SetCell(r, kColState, "Modify...");
        station.m_DeviceList.SetCell(r, kColMarker, "1");
    }
    const DeviceRow untouched = station.m_DeviceList.Row(2);

    Feed(ShortResultBytes(1, 1));
    FakeDevice now = Device(2, 0, 0x0A000000);  // 10.0.0.2, same other settings
    now.number = 2002;
    Feed(FullResultBytes(2, 0, now));  // failed: only the state changes
    EXPECT_EQ(Column(kColState), (Rows{{"1", "Success"}, {"2", "Failure"}, {"3", "Modify..."}}));
    EXPECT_EQ(Column(kColMarker), (Rows{{"1", "0"}, {"2", "0"}, {"3", "1"}}));
    EXPECT_EQ(station.m_DeviceList.Cell(1, kColIP), "192.168.1.2");

    Feed(FullResultBytes(2, 1, now));  // succeeded: the settings now in force and the new number
    DeviceRow row = station.m_DeviceList.Row(1);
    EXPECT_EQ(row[kColState], "Success");
    EXPECT_EQ(row[kColIP], "10.0.0.2");
    EXPECT_EQ(row[kColMask], "255.255.255.0");
    EXPECT_EQ(row[kColGateway], "192.168.1.1");
    EXPECT_EQ(row[kColServer], "192.168.1.250");
    EXPECT_EQ(row[kColStandbyServer], "192.168.1.251");
    EXPECT_EQ(row[kColDeviceNo], "2002");
    EXPECT_EQ(row[kColVersion], "2015.6.12.5");

    // From now on only the new number finds the row.
    Feed(ShortResultBytes(2, 0));
    EXPECT_EQ(station.m_DeviceList.Cell(1, kColState), "Success");
    Feed(ShortResultBytes(2002, 7));
    EXPECT_EQ(station.m_DeviceList.Cell(1, kColState), "Failure");
    EXPECT_EQ(station.m_DeviceList.Row(2), untouched);
}

TEST_F(ReplyTest, EveryChangeResultRestartsTheAnswerTimeOutEvenWithoutARow) {
    TickClock::Set(7000);
    Feed(ShortResultBytes(404, 1));
    EXPECT_EQ(station.m_dwModifyTick, 7000u);
    TickClock::Set(9000);
    Feed(FullResultBytes(404, 1, Device(1, 0)));
    EXPECT_EQ(station.m_dwModifyTick, 9000u);
    EXPECT_EQ(station.m_DeviceList.RowCount(), 0);
}

TEST_F(ReplyTest, TextsFollowTheLanguageAndAreLeftOutForOtherValues) {
    struct Case {
        int language;
        std::string type, state;
    };
    const Case cases[] = {
        {1, Texts(1).unknownDevice, Texts(1).stateSuccess},
        {2, Texts(2).unknownDevice, Texts(2).stateSuccess},
        {3, "", ""},
        {0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        test::RecordingView view;
        StationState fresh(view, "/nonexistent/");
        fresh.m_nLanguage = c.language;
        HandleDeviceReply(fresh, Entry(SearchReplyBytes(Device(9, 0))));
        fresh.m_DeviceList.SetCell(0, kColMarker, "1");
        HandleDeviceReply(fresh, Entry(ShortResultBytes(9, 1)));
        const DeviceRow row = fresh.m_DeviceList.Row(0);
        EXPECT_EQ(row[kColType], c.type);
        EXPECT_EQ(row[kColState], c.state);
        EXPECT_EQ(row[kColMarker], "0");
        EXPECT_EQ(row[kColIP], "192.168.1.9");
    }
}

// Anyone on the LAN can answer with made-up device numbers: the table stops at
// its bound, says so once, and keeps serving the devices it lists.
TEST_F(ReplyTest, AFullTableDropsNewDevicesButKeepsUpdatingListedOnes) {
    for (int32_t n = 1; n <= kMaxDeviceRows; ++n) Feed(SearchReplyBytes(Device(n, 6401)));
    ASSERT_EQ(station.m_DeviceList.RowCount(), kMaxDeviceRows);
    EXPECT_TRUE(view.CaptionsOf(kIdNoteLine).empty());

    for (int32_t n : {kMaxDeviceRows + 1, kMaxDeviceRows + 2, -5}) Feed(SearchReplyBytes(Device(n, 0)));
    Feed(SearchReplyBytes(Device(kMaxDeviceRows + 1, 6801)));
    EXPECT_EQ(station.m_DeviceList.RowCount(), kMaxDeviceRows);
    EXPECT_EQ(station.m_DeviceList.FindRowByDeviceNumber(kMaxDeviceRows + 1), -1);
    EXPECT_EQ(station.m_DeviceList.RefusedRows(), 4u);
    EXPECT_EQ(view.CaptionsOf(kIdNoteLine), std::vector<std::string>{Texts(2).noteTableFull});

    const int last = kMaxDeviceRows - 1;
    station.m_DeviceList.SetCell(last, kColMarker, "1");
    Feed(ShortResultBytes(kMaxDeviceRows, 1));
    EXPECT_EQ(station.m_DeviceList.Cell(last, kColState), "Success");
    EXPECT_EQ(station.m_DeviceList.Cell(last, kColMarker), "0");
    FakeDevice now = Device(1, 0, 0x0A000000);
    Feed(FullResultBytes(1, 1, now));
    EXPECT_EQ(station.m_DeviceList.Cell(0, kColIP), "10.0.0.1");

    // The next search empties the table, puts the usual note back and lists anew.
    view.findType = 0;
    RunSearch(station, view.Search());
    EXPECT_EQ(station.m_DeviceList.RefusedRows(), 0u);
    Feed(SearchReplyBytes(Device(kMaxDeviceRows + 1, 6401)));
    EXPECT_EQ(station.m_DeviceList.RowCount(), 1);
    EXPECT_EQ(view.CaptionsOf(kIdNoteLine),
              (std::vector<std::string>{Texts(2).noteTableFull, Texts(2).noteLine}));
}
