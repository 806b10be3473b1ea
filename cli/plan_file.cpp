#include "plan_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <unordered_map>

#include "arguments.h"

namespace quillane::cli {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct Field {
    std::string text;
    bool quoted = false;
};
struct Record {
    int line = 0;  // where the record starts
    std::vector<Field> fields;
};

// Splits CSV text into records. Quoted fields may hold separators, doubled
// quotes and line breaks; blanks around an unquoted field are not part of it.
class CsvReader {
public:
    CsvReader(std::string_view text, char separator) : m_text(text), m_separator(separator) {}

    // False at the end of the text; `error` is set for an unclosed quote.
    bool Next(Record& record, PlanError& error) {
        while (m_pos < m_text.size() && AtLineEnd()) SkipLineEnd();  // blank lines
        if (m_pos >= m_text.size()) return false;
        record = {m_line, {}};
        for (;;) {
            Field field;
            if (!ReadField(field, error)) return false;
            record.fields.push_back(std::move(field));
            if (m_pos < m_text.size() && m_text[m_pos] == m_separator) {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size()) SkipLineEnd();
            return true;
        }
    }

private:
    bool AtLineEnd() const { return m_text[m_pos] == '\n' || m_text[m_pos] == '\r'; }
    void SkipLineEnd() {
        if (m_text[m_pos] == '\r' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\n') ++m_pos;
        ++m_pos;
        ++m_line;
    }
    void SkipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t')) ++m_pos;
    }

    bool ReadField(Field& field, PlanError& error) {
        SkipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == '"') return ReadQuoted(field, error);
        const size_t start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != m_separator && !AtLineEnd()) ++m_pos;
        std::string_view text = m_text.substr(start, m_pos - start);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
        field.text = text;
        return true;
    }

    bool ReadQuoted(Field& field, PlanError& error) {
        const int startLine = m_line;
        field.quoted = true;
        ++m_pos;
        for (;;) {
            if (m_pos >= m_text.size()) {
                error = {startLine, "", "a quoted field is never closed"};
                return false;
            }
            const char c = m_text[m_pos];
            if (c == '"' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"') {
                field.text += '"';
                m_pos += 2;
            } else if (c == '"') {
                ++m_pos;
                break;
            } else {
                if (c == '\n') ++m_line;
                field.text += c;
                ++m_pos;
            }
        }
        SkipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] != m_separator && !AtLineEnd()) {
            error = {startLine, "", "text follows the closing quote of a field"};
            return false;
        }
        return true;
    }

    std::string_view m_text;
    char m_separator;
    size_t m_pos = 0;
    int m_line = 1;
};

// Spreadsheets in locales with a decimal comma write semicolons: whichever of
// the two the header line uses more (outside quotes) separates the fields.
char DetectSeparator(std::string_view text) {
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '\n' && !quoted) break;
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        commas += c == ',';
        semicolons += c == ';';
    }
    return semicolons > commas ? ';' : ',';
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// What a column holds. kIgnored: a column of the exported inventory that a
// plan does not use (row number, choice, version, state, type).
enum class ColumnKind { kDevice, kSetting, kIgnored };
struct ColumnMeaning {
    ColumnKind kind;
    PlanSetting setting = PlanSetting::Ip;
};

// Header names (lower case): the plan's own, then the search export's in
// English and Chinese.
const std::unordered_map<std::string, ColumnMeaning>& KnownColumns() {
    static const std::unordered_map<std::string, ColumnMeaning> known = {
        {"device", {ColumnKind::kDevice}},
        {"device no.", {ColumnKind::kDevice}},
        {"设备号", {ColumnKind::kDevice}},
        {"ip", {ColumnKind::kSetting, PlanSetting::Ip}},
        {"ip address", {ColumnKind::kSetting, PlanSetting::Ip}},
        {"ip地址", {ColumnKind::kSetting, PlanSetting::Ip}},
        {"mask", {ColumnKind::kSetting, PlanSetting::Mask}},
        {"子网掩码", {ColumnKind::kSetting, PlanSetting::Mask}},
        {"gateway", {ColumnKind::kSetting, PlanSetting::Gateway}},
        {"默认网关", {ColumnKind::kSetting, PlanSetting::Gateway}},
        {"server", {ColumnKind::kSetting, PlanSetting::Server}},
        {"server ip address", {ColumnKind::kSetting, PlanSetting::Server}},
        {"服务器ip地址", {ColumnKind::kSetting, PlanSetting::Server}},
        {"standby", {ColumnKind::kSetting, PlanSetting::Standby}},
        {"standby server ip", {ColumnKind::kSetting, PlanSetting::Standby}},
        {"备用服务器ip地址", {ColumnKind::kSetting, PlanSetting::Standby}},
        {"no.", {ColumnKind::kIgnored}},
        {"choice", {ColumnKind::kIgnored}},
        {"version", {ColumnKind::kIgnored}},
        {"state", {ColumnKind::kIgnored}},
        {"device type", {ColumnKind::kIgnored}},
        {"序号", {ColumnKind::kIgnored}},
        {"选择", {ColumnKind::kIgnored}},
        {"版本号", {ColumnKind::kIgnored}},
        {"状态", {ColumnKind::kIgnored}},
        {"设备类型", {ColumnKind::kIgnored}},
    };
    return known;
}

struct Layout {
    std::vector<std::string> headers;
    std::vector<ColumnMeaning> meanings;
    int deviceColumn = -1;
};

bool ReadHeader(const Record& header, Layout& layout, AddressPlan& plan, PlanError& error) {
    for (const Field& field : header.fields) {
        const auto it = KnownColumns().find(Lower(field.text));
        if (it == KnownColumns().end()) {
            error = {header.line, field.text,
                     field.text.empty()
                         ? "a column has no name"
                         : "unknown column (a plan has device, ip, mask, gateway, server, standby)"};
            return false;
        }
        for (size_t seen = 0; seen < layout.headers.size(); ++seen) {
            const ColumnMeaning& before = layout.meanings[seen];
            if (it->second.kind != ColumnKind::kIgnored && before.kind == it->second.kind &&
                before.setting == it->second.setting) {
                error = {header.line, field.text, "the same column as \"" + layout.headers[seen] + "\""};
                return false;
            }
        }
        if (it->second.kind == ColumnKind::kDevice)
            layout.deviceColumn = static_cast<int>(layout.headers.size());
        if (it->second.kind == ColumnKind::kSetting)
            plan.headers[static_cast<int>(it->second.setting)] = field.text;
        layout.headers.push_back(field.text);
        layout.meanings.push_back(it->second);
    }
    if (layout.deviceColumn < 0) {
        error = {header.line, "", "no device column (the header names the columns: device, ip, mask, ...)"};
        return false;
    }
    return true;
}

std::optional<int32_t> ParseDeviceNumber(const std::string& text) {
    if (text.empty() || text.size() > 11) return std::nullopt;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (text[0] == '-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

bool ReadRow(const Record& record, const Layout& layout, PlanRow& row, PlanError& error) {
    if (record.fields.size() > layout.headers.size()) {
        error = {record.line, "", "more fields than the header has columns"};
        return false;
    }
    row.line = record.line;
    for (size_t c = 0; c < layout.headers.size(); ++c) {
        const std::string cell = c < record.fields.size() ? record.fields[c].text : std::string();
        const ColumnMeaning& meaning = layout.meanings[c];
        if (meaning.kind == ColumnKind::kDevice) {
            const std::optional<int32_t> number = ParseDeviceNumber(cell);
            if (!number) {
                error = {record.line, layout.headers[c],
                         cell.empty() ? "no device number" : "\"" + cell + "\" is not a device number"};
                return false;
            }
            row.device = *number;
        } else if (meaning.kind == ColumnKind::kSetting && !cell.empty()) {
            const std::optional<uint32_t> address = ParseDottedAddress(cell);
            if (!address) {
                error = {record.line, layout.headers[c],
                         "\"" + cell + "\" is not an address of four octets 0-255"};
                return false;
            }
            row.settings[static_cast<int>(meaning.setting)] = address;
        }
    }
    return true;
}

}  // namespace

const char* PlanSettingName(PlanSetting setting) {
    static constexpr std::array<const char*, kPlanSettingCount> kNames = {"ip", "mask", "gateway", "server",
                                                                          "standby"};
    return kNames[static_cast<size_t>(setting)];
}

PlanReading ReadAddressPlan(std::string_view content) {
    if (content.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        content.remove_prefix(kByteOrderMark.size());
    CsvReader reader(content, DetectSeparator(content));
    PlanReading reading;
    AddressPlan plan;
    Layout layout;
    Record record;
    if (!reader.Next(record, reading.error)) {
        if (reading.error.message.empty()) reading.error = {1, "", "the plan is empty (no header line)"};
        return reading;
    }
    if (!ReadHeader(record, layout, plan, reading.error)) return reading;

    std::unordered_map<int32_t, int> lineOfDevice;
    while (reader.Next(record, reading.error)) {
        PlanRow row;
        if (!ReadRow(record, layout, row, reading.error)) return reading;
        const auto [it, added] = lineOfDevice.emplace(row.device, row.line);
        if (!added) {
            reading.error = {row.line, layout.headers[static_cast<size_t>(layout.deviceColumn)],
                             "device " + std::to_string(row.device) + " is listed twice (also on line " +
                                 std::to_string(it->second) + ")"};
            return reading;
        }
        plan.rows.push_back(row);
    }
    if (!reading.error.message.empty()) return reading;
    reading.plan = std::move(plan);
    return reading;
}

std::string DescribePlanError(const std::string& fileName, const PlanError& error) {
    std::string text = fileName + ", line " + std::to_string(error.line);
    if (!error.column.empty()) text += ", column \"" + error.column + "\"";
    return text + ": " + error.message;
}

}  // namespace quillane::cli
