#pragma once

// The device table as a window shows it, as text for other programs: the
// "Export list..." file and the "Copy" text. Every window builds them here,
// so a file or a paste reads the same whichever window made it.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/device_table.h"
#include "model/message_box_text.h"

namespace quillane {

// The columns a window shows: those with a width above 0 (not the hidden marker).
std::vector<int> ShownColumns(const std::array<int, kColumnCount>& widths);

// The CSV file of "Export list...": the headers of `columns`, then those cells
// of every row in table order (CsvFileContent: UTF-8 with its byte-order mark).
std::string DeviceListCsvFile(const DeviceTable& table, const std::vector<int>& columns,
                              const std::array<std::string, kColumnCount>& headers);

// "Export list...": writes that file at `path` (UTF-8) with the headers of the
// window's language, whole or not at all. nullopt when written; otherwise the
// message box that tells the operator.
std::optional<MessageBoxText> ExportDeviceList(const DeviceTable& table, const std::vector<int>& columns,
                                               const std::string& path, int language);

// The text of "Copy": the cells of `columns` of the given rows, in table order
// whatever the order given, one tab-separated line per row, no headers. Rows
// that no longer exist are left out.
std::string DeviceRowsText(const DeviceTable& table, const std::vector<int>& columns, std::vector<int> rows);

}  // namespace quillane
