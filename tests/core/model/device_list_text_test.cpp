#include "model/device_list_text.h"

#include <gtest/gtest.h>

#include "model/texts.h"
#include "testing/temp_folder.h"

using namespace quillane;

namespace {

DeviceTable& ThreeRows(DeviceTable& table) {
    for (const auto& [ip, number, state] : {std::tuple{"10.0.0.9", "9", "say \"hi\", twice"},
                                            {"10.0.0.10", "10", ""},
                                            {"10.0.0.2", "2", "\t50%\n"}}) {
        DeviceRow row;
        row[kColIP] = ip;
        row[kColDeviceNo] = number;
        row[kColState] = state;
        row[kColMarker] = "1";
        table.AppendRow(row);
    }
    return table;
}

const std::array<int, kColumnCount> kWidths{30, 45, 90, 120, 105, 105, 105, 115, 115, 90, 75, 0};

}  // namespace

TEST(DeviceListText, ShownColumnsAreThoseWithAWidth) {
    EXPECT_EQ(ShownColumns(kWidths), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    std::array<int, kColumnCount> some{};
    some[kColDeviceNo] = 75;
    some[kColIP] = 1;
    EXPECT_EQ(ShownColumns(some), (std::vector<int>{kColIP, kColDeviceNo}));
}

// The file: the headers of the shown columns, then every row in the table's
// current order, quoted where a spreadsheet needs it; the marker stays out.
TEST(DeviceListText, CsvFileFollowsTheTablesOrderAndShownColumns) {
    DeviceTable table;
    ThreeRows(table).HeaderClick(kColIP);  // descending: .10, .9, .2
    std::array<std::string, kColumnCount> headers;
    for (int c = 0; c < kColumnCount; ++c) headers[static_cast<size_t>(c)] = "h" + std::to_string(c);
    EXPECT_EQ(DeviceListCsvFile(table, {kColIP, kColState, kColDeviceNo}, headers),
              "\xEF\xBB\xBF"
              "h4,h3,h10\r\n"
              "10.0.0.10,,10\r\n"
              "10.0.0.9,\"say \"\"hi\"\", twice\",9\r\n"
              "10.0.0.2,\"\t50%\n\",2\r\n");
    DeviceTable empty;
    EXPECT_EQ(DeviceListCsvFile(empty, {kColIP}, headers), "\xEF\xBB\xBFh4\r\n");
}

// The paste: the given rows in table order whatever order they came in, each
// once, one line each; rows that have gone are left out.
TEST(DeviceListText, CopiedRowsAreTabSeparatedLinesInTableOrder) {
    DeviceTable table;
    ThreeRows(table);
    EXPECT_EQ(DeviceRowsText(table, {kColIP, kColState, kColDeviceNo}, {2, 0, 2, 7, -1}),
              "10.0.0.9\tsay \"hi\", twice\t9\n10.0.0.2\t 50% \t2\n");
    EXPECT_EQ(DeviceRowsText(table, ShownColumns(kWidths), {1}), "\t\t\t\t10.0.0.10\t\t\t\t\t\t10\n");
    EXPECT_EQ(DeviceRowsText(table, {kColIP}, {}), "");
}

// "Export list...": the file with the language's headers, or the message box
// that says it could not be written.
TEST(DeviceListText, ExportWritesTheFileOrTellsTheOperator) {
    DeviceTable table;
    ThreeRows(table);
    test::TempFolder dir;
    EXPECT_EQ(ExportDeviceList(table, {kColIP}, dir.File("devices.csv"), 2), std::nullopt);
    EXPECT_EQ(dir.Read("devices.csv"), DeviceListCsvFile(table, {kColIP}, Texts(2).columnHeaders));

    const std::optional<MessageBoxText> failed =
        ExportDeviceList(table, {kColIP}, dir.File("no-such-folder/x.csv"), 1);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->text, Texts(1).msgExportFailed);
    EXPECT_EQ(failed->caption, Texts(1).captionError);
}
