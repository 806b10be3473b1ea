#include "model/device_list_text.h"

#include <algorithm>

#include "model/table_export.h"
#include "model/texts.h"
#include "support/whole_file.h"

namespace quillane {
namespace {

std::vector<std::string> CellsOf(const DeviceRow& row, const std::vector<int>& columns) {
    std::vector<std::string> cells;
    cells.reserve(columns.size());
    for (int column : columns) {
        const bool valid = column >= 0 && column < kColumnCount;
        cells.push_back(valid ? row[static_cast<size_t>(column)] : std::string());
    }
    return cells;
}

}  // namespace

std::vector<int> ShownColumns(const std::array<int, kColumnCount>& widths) {
    std::vector<int> columns;
    for (int column = 0; column < kColumnCount; ++column) {
        if (widths[static_cast<size_t>(column)] > 0) columns.push_back(column);
    }
    return columns;
}

std::string DeviceListCsvFile(const DeviceTable& table, const std::vector<int>& columns,
                              const std::array<std::string, kColumnCount>& headers) {
    TextRows rows{CellsOf(headers, columns)};
    const int count = table.RowCount();
    rows.reserve(static_cast<size_t>(count) + 1);
    for (int row = 0; row < count; ++row) rows.push_back(CellsOf(table.Row(row), columns));
    return CsvFileContent(rows);
}

std::string DeviceRowsText(const DeviceTable& table, const std::vector<int>& columns, std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    TextRows text;
    for (int row : rows) {
        if (row < 0 || row >= table.RowCount()) continue;
        text.push_back(CellsOf(table.Row(row), columns));
    }
    return TabSeparatedText(text);
}

std::optional<MessageBoxText> ExportDeviceList(const DeviceTable& table, const std::vector<int>& columns,
                                               const std::string& path, int language) {
    const TextTable& t = Texts(language);
    if (WriteWholeFile(path, DeviceListCsvFile(table, columns, t.columnHeaders))) return std::nullopt;
    return MessageBoxText{t.msgExportFailed, t.captionError};
}

}  // namespace quillane
