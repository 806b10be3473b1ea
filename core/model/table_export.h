#pragma once

// The device table as text for other programs: CSV for spreadsheets and
// inventories, tab-separated lines for the clipboard. Both take rows of cell
// texts already cut to the wanted columns, headers (if any) as the first row.

#include <string>
#include <string_view>
#include <vector>

namespace quillane {

using TextRows = std::vector<std::vector<std::string>>;

// Spreadsheet programs take a CSV file for UTF-8 only when it starts with this.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// One line per row, each ended by `lineEnd`; a field holding a comma, a
// quote, a line break or leading/trailing blanks is quoted, its quotes doubled.
std::string CsvText(const TextRows& rows, std::string_view lineEnd = "\r\n");

// A whole CSV file: the byte-order mark, then the rows with CR LF line ends.
std::string CsvFileContent(const TextRows& rows);

// One line per row, fields joined by tabs, each line ended by "\n". Tabs and
// line breaks inside a field become spaces, so every row stays one line.
std::string TabSeparatedText(const TextRows& rows);

}  // namespace quillane
