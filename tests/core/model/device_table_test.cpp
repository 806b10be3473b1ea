#include "model/device_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace quillane {
namespace {

TEST(DeviceTableCompare, RulesPerColumn) {
    struct Case {
        int column;
        std::string a, b;
        int expected;
    };
    const Case cases[] = {
        {kColIP, "192.168.1.10", "192.168.1.9", 1},  // numeric, not text order
        {kColMask, "255.255.0.0", "255.255.255.0", -1},
        {kColServer, "10.0.0.1", "192.168.0.1", -1},
        {kColStandbyServer, "200.0.0.1", "100.0.0.1", 1},  // unsigned: above 128.x stays above
        {kColIP, "not an address", "255.255.255.255", 0},
        {kColGateway, "", "1.1.1.1", 1},
        {kColNo, "10", "9", 1},
        {kColDeviceNo, "10", "9", 1},
        {kColDeviceNo, " -5", "3", -1},
        {kColDeviceNo, "12abc", "12", 0},
        {kColNo, "", "0", 0},
        {kColVersion, "1.10.0.0", "1.9.0.0", -1},  // text order
        {kColState, "a", "B", 1},                  // case-sensitive
        {kColType, "消防联动", "消防联动", 0},
        {kColChoice, "\xE2\x88\x9A", "", 0},
        {kColMarker, "1", "0", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceTable::CompareCells(c.column, c.a, c.b), c.expected)
            << c.column << " " << c.a << " vs " << c.b;
    }
}

class Recorder : public DeviceTableObserver {
public:
    void RowsCleared() override { events.push_back("clear"); }
    void RowAppended(int row, const DeviceRow& cells) override {
        events.push_back("append " + std::to_string(row) + " " + cells[kColIP]);
    }
    void CellChanged(int row, int column, const std::string& text) override {
        events.push_back("cell " + std::to_string(row) + "," + std::to_string(column) + " " + text);
    }
    void RowsReordered(const std::vector<DeviceRow>& rows) override {
        std::string order = "order";
        for (const DeviceRow& r : rows) order += " " + r[kColIP];
        events.push_back(order);
    }
    std::vector<std::string> events;
};

class DeviceTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        Add("192.168.1.9", "9", "1.9.0.0");
        Add("192.168.1.10", "10", "1.10.0.0");
        Add("192.168.1.2", "2", "2.0.0.0");
    }
    void Add(const std::string& ip, const std::string& number, const std::string& version) {
        DeviceRow row;
        row[kColNo] = std::to_string(table.RowCount() + 1);
        row[kColIP] = ip;
        row[kColDeviceNo] = number;
        row[kColVersion] = version;
        table.AppendRow(row);
    }
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        for (int r = 0; r < table.RowCount(); ++r) texts.push_back(table.Cell(r, column));
        return texts;
    }
    DeviceTable table;
};

using Texts = std::vector<std::string>;

TEST_F(DeviceTableTest, FirstClickSortsDescendingAndTheNextOneReverses) {
    table.HeaderClick(kColIP);
    EXPECT_EQ(Column(kColIP), (Texts{"192.168.1.10", "192.168.1.9", "192.168.1.2"}));
    EXPECT_EQ(table.m_nSortColumn, kColIP);
    EXPECT_EQ(table.m_bSortAscending, 0);
    table.HeaderClick(kColIP);
    EXPECT_EQ(Column(kColIP), (Texts{"192.168.1.2", "192.168.1.9", "192.168.1.10"}));
    EXPECT_EQ(table.m_bSortAscending, 1);

    table.HeaderClick(kColVersion);  // another column starts descending again
    EXPECT_EQ(Column(kColVersion), (Texts{"2.0.0.0", "1.9.0.0", "1.10.0.0"}));
    table.HeaderClick(kColDeviceNo);
    table.HeaderClick(kColDeviceNo);
    EXPECT_EQ(Column(kColDeviceNo), (Texts{"2", "9", "10"}));
}

TEST_F(DeviceTableTest, UnsortedColumnsKeepTheOrderButUpdateTheState) {
    table.HeaderClick(kColChoice);
    EXPECT_EQ(Column(kColIP), (Texts{"192.168.1.9", "192.168.1.10", "192.168.1.2"}));
    EXPECT_EQ(table.m_nSortColumn, kColChoice);
    EXPECT_EQ(table.m_bSortAscending, 0);
    table.HeaderClick(kColMarker);
    table.HeaderClick(kColMarker);
    EXPECT_EQ(table.m_nSortColumn, kColMarker);
    EXPECT_EQ(table.m_bSortAscending, 1);
    EXPECT_EQ(Column(kColIP), (Texts{"192.168.1.9", "192.168.1.10", "192.168.1.2"}));
}

TEST_F(DeviceTableTest, DisabledSortingAndOtherButtonsDoNothing) {
    table.m_bSortEnabled = 0;
    table.HeaderClick(kColIP);
    table.m_bSortEnabled = 1;
    table.HeaderClick(kColIP, /*leftButton=*/false);
    EXPECT_EQ(table.m_nSortColumn, -1);
    EXPECT_EQ(Column(kColIP), (Texts{"192.168.1.9", "192.168.1.10", "192.168.1.2"}));
}

TEST_F(DeviceTableTest, SortKeepsItemDataAndTheDeviceNumberIndexWithTheirRows) {
    table.HeaderClick(kColIP);  // .10, .9, .2
    EXPECT_EQ(table.ItemData(0), 1);
    EXPECT_EQ(table.ItemData(1), 0);
    EXPECT_EQ(table.ItemData(2), 2);
    EXPECT_EQ(table.FindRowByDeviceNumber(10), 0);
    EXPECT_EQ(table.FindRowByDeviceNumber(9), 1);
    EXPECT_EQ(table.FindRowByDeviceNumber(77), -1);
    table.SetCell(2, kColDeviceNo, "77");
    EXPECT_EQ(table.FindRowByDeviceNumber(2), -1);
    EXPECT_EQ(table.FindRowByDeviceNumber(77), 2);
}

TEST_F(DeviceTableTest, DuplicateNumbersFindTheFirstRowInTableOrder) {
    Add("10.0.0.1", "9", "");
    EXPECT_EQ(table.FindRowByDeviceNumber(9), 0);
    table.HeaderClick(kColIP);  // 10.0.0.1 sorts last in descending order
    EXPECT_EQ(table.FindRowByDeviceNumber(9), 1);
    table.SetCell(1, kColDeviceNo, "");
    EXPECT_EQ(table.FindRowByDeviceNumber(9), 3);
}

TEST_F(DeviceTableTest, CellsOfADeviceAreWrittenIntoItsRowInOneStep) {
    EXPECT_EQ(table.SetCellsOfDevice(10, {{kColState, "ok"}, {kColDeviceNo, "77"}, {kColMarker, "0"}}), 1);
    EXPECT_EQ(Column(kColState), (Texts{"", "ok", ""}));
    EXPECT_EQ(table.FindRowByDeviceNumber(77), 1) << "a new number is found at once";
    EXPECT_EQ(table.FindRowByDeviceNumber(10), -1);
    EXPECT_EQ(table.SetCellsOfDevice(10, {{kColState, "lost"}}), -1);
    EXPECT_EQ(Column(kColState), (Texts{"", "ok", ""})) << "no row, nothing written";
}

// A worker writes results by device number while the GUI thread sorts: every
// result must end up in the row of its own device.
TEST_F(DeviceTableTest, ResultsFollowTheirDeviceWhileTheTableIsSorted) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 3000; ++i) {
            const int number = (i % 3 == 0) ? 9 : (i % 3 == 1 ? 10 : 2);
            table.SetCellsOfDevice(number, {{kColState, "n" + std::to_string(number)},
                                            {kColGateway, "n" + std::to_string(number)}});
        }
        done = true;
    });
    for (int column = 0; !done; column = (column + 1) % kColumnCount) table.HeaderClick(column);
    worker.join();
    for (int row = 0; row < table.RowCount(); ++row) {
        const std::string own = "n" + table.Cell(row, kColDeviceNo);
        EXPECT_EQ(table.Cell(row, kColState), own);
        EXPECT_EQ(table.Cell(row, kColGateway), own);
    }
}

TEST_F(DeviceTableTest, ObserverSeesEveryChangeInOrder) {
    Recorder recorder;
    table.SetObserver(&recorder);
    table.SetCell(0, kColChoice, "x");
    EXPECT_FALSE(table.SetCell(3, kColChoice, "x"));
    EXPECT_FALSE(table.SetCell(0, kColumnCount, "x"));
    table.HeaderClick(kColIP);
    table.DeleteAllRows();
    Add("1.2.3.4", "5", "");
    table.SetObserver(nullptr);
    table.SetCell(0, kColState, "unseen");
    EXPECT_EQ(recorder.events, (Texts{"cell 0,1 x", "order 192.168.1.10 192.168.1.9 192.168.1.2", "clear",
                                      "append 0 1.2.3.4"}));
    EXPECT_EQ(table.RowCount(), 1);
}

TEST(ReadDecimalTest, ReadsLikeAtoi) {
    EXPECT_EQ(ReadDecimal("  42x"), 42);
    EXPECT_EQ(ReadDecimal("+7"), 7);
    EXPECT_EQ(ReadDecimal("-0"), 0);
    EXPECT_EQ(ReadDecimal("x1"), 0);
    EXPECT_EQ(ReadDecimal("99999999999999999999"), 2147483647);
    EXPECT_EQ(ReadDecimal("-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace quillane
