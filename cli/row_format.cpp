#include "row_format.h"

#include <algorithm>
#include <array>

#include "json_text.h"
#include "model/table_export.h"
#include "model/texts.h"

namespace quillane::cli {
namespace {

constexpr int kPrintedColumns = kColMarker;  // columns 0 to 10

// Keys of the JSON objects, by column.
constexpr std::array<const char*, kPrintedColumns> kJsonKeys = {
    "no",      "chosen", "version",       "state", "ip",      "mask",
    "gateway", "server", "standbyServer", "type",  "deviceNo"};

bool IsWide(uint32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

std::string PadTo(const std::string& text, size_t width) {
    return text + std::string(width - std::min(width, DisplayWidth(text)), ' ');
}

std::vector<std::string> Headers(Language language) {
    const auto& all = Texts(language).columnHeaders;
    return {all.begin(), all.begin() + kPrintedColumns};
}

std::vector<std::string> Printed(const DeviceRow& row) {
    return {row.begin(), row.begin() + kPrintedColumns};
}

// For programs: the State column holds the state's stable name, not its text.
std::vector<std::string> PrintedForPrograms(const ListedDevice& device) {
    std::vector<std::string> cells = Printed(device.cells);
    cells[kColState] = StableName(device.state);
    return cells;
}

std::string FormatTable(const std::vector<ListedDevice>& rows, Language language) {
    TextRows lines{Headers(language)};
    for (const ListedDevice& row : rows) lines.push_back(Printed(row.cells));
    std::vector<size_t> widths(kPrintedColumns, 0);
    for (const auto& line : lines)
        for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(line[c]));
    std::string out;
    for (const auto& line : lines) {
        std::string text;
        for (size_t c = 0; c < line.size(); ++c) text += (c ? "  " : "") + PadTo(line[c], widths[c]);
        text.erase(text.find_last_not_of(' ') + 1);
        out += text + "\n";
    }
    return out;
}

// The two number columns are JSON numbers when they hold a plain decimal.
std::string JsonValue(int column, const std::string& cell) {
    if (column == kColChoice) return cell == kCheckMark ? "true" : "false";
    if (column == kColNo || column == kColDeviceNo) {
        const bool number = !cell.empty() && cell.size() <= 11 &&
                            std::all_of(cell.begin() + (cell[0] == '-' ? 1 : 0), cell.end(),
                                        [](char ch) { return ch >= '0' && ch <= '9'; }) &&
                            cell != "-";
        if (number) return cell;
    }
    return JsonString(cell);
}

std::string FormatJson(const std::vector<ListedDevice>& rows) {
    std::string out = "[";
    for (size_t r = 0; r < rows.size(); ++r) {
        out += r ? ",\n  {" : "\n  {";
        const std::vector<std::string> cells = PrintedForPrograms(rows[r]);
        for (int c = 0; c < kPrintedColumns; ++c) {
            out += (c ? ", " : "") + JsonString(kJsonKeys[static_cast<size_t>(c)]) + ": " +
                   JsonValue(c, cells[static_cast<size_t>(c)]);
        }
        out += "}";
    }
    return out + (rows.empty() ? "]\n" : "\n]\n");
}

}  // namespace

size_t DisplayWidth(const std::string& text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length && i + k < text.size(); ++k)
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        width += IsWide(code) ? 2 : 1;
        i += length;
    }
    return width;
}

std::string FormatRows(const std::vector<ListedDevice>& rows, OutputFormat format, Language language) {
    switch (format) {
        case OutputFormat::Csv: {
            TextRows lines{Headers(language)};
            for (const ListedDevice& row : rows) lines.push_back(PrintedForPrograms(row));
            return CsvText(lines, "\n");
        }
        case OutputFormat::Json:
            return FormatJson(rows);
        case OutputFormat::Table:
            break;
    }
    return FormatTable(rows, language);
}

}  // namespace quillane::cli
