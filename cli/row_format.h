#pragma once

// The device rows as the search command prints them: every column of the
// window's table but the hidden marker, as an aligned table, CSV or JSON.
// The table shows the texts as the window does; CSV and JSON, read by
// programs, carry the state's stable name (row_state.h) in the State column.

#include <string>
#include <vector>

#include "arguments.h"
#include "model/device_table.h"

namespace quillane::cli {

// One row of the table with the meaning of its State text.
struct ListedDevice {
    ListedDevice(DeviceRow row, RowState rowState = {}) : cells(std::move(row)), state(std::move(rowState)) {}
    DeviceRow cells;
    RowState state;
};

// Headers are the window's column headers in `language`; JSON uses fixed
// English keys whatever the language.
std::string FormatRows(const std::vector<ListedDevice>& rows, OutputFormat format, Language language);

// Columns a terminal needs for the UTF-8 text: two for each East Asian wide
// character (the Chinese texts), one for every other character.
size_t DisplayWidth(const std::string& text);

}  // namespace quillane::cli
