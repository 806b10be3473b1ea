#include "plan_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <unordered_map>

#include "arguments.h"
#include "model/device_table.h"
#include "support/utf8.h"

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
// CR LF, LF and a lone CR each end one line, inside quotes as well as outside.
class CsvReader {
public:
    CsvReader(std::string_view text, char separator) : m_text(text), m_separator(separator) {}

    enum class Outcome { kRecord, kEnd, kFault };
    // A record stops at `maxFields`: one field more is the fault `tooMany`,
    // found before the rest of the line is read (a line of separators never
    // piles up fields).
    Outcome Next(Record& record, size_t maxFields, const std::string& tooMany, PlanError& error) {
        while (m_pos < m_text.size() && AtLineEnd()) SkipLineEnd();  // blank lines
        if (m_pos >= m_text.size()) return Outcome::kEnd;
        record.line = m_line;
        record.fields.clear();
        for (;;) {
            Field field;
            if (!ReadField(field, error)) return Outcome::kFault;
            record.fields.push_back(std::move(field));
            if (m_pos < m_text.size() && m_text[m_pos] == m_separator) {
                if (record.fields.size() == maxFields) {
                    error = {record.line, "", tooMany};
                    return Outcome::kFault;
                }
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size()) SkipLineEnd();
            return Outcome::kRecord;
        }
    }

private:
    bool AtLineEnd() const { return m_text[m_pos] == '\n' || m_text[m_pos] == '\r'; }
    // Past one line end (CR LF counts once) at m_pos.
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
            } else if (AtLineEnd()) {
                const size_t start = m_pos;
                SkipLineEnd();
                field.text += m_text.substr(start, m_pos - start);
            } else {
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

constexpr const char* kPlansAreUtf8Csv =
    "; plans are UTF-8 CSV files, comma or semicolon separated (a spreadsheet saves them as \"CSV UTF-8\")";

// A file a spreadsheet saved in another form than UTF-8 CSV would only give
// garbled column names: say what it looks like instead.
std::optional<PlanError> NotUtf8Csv(std::string_view content) {
    // UTF-16 writes a zero byte beside every ASCII character, the header's included.
    const std::string_view firstLine = content.substr(0, content.find_first_of("\r\n"));
    const bool utf16Mark = content.substr(0, 2) == "\xFF\xFE" || content.substr(0, 2) == "\xFE\xFF";
    if (utf16Mark || firstLine.find('\0') != std::string_view::npos)
        return PlanError{1, "", std::string("the file looks like UTF-16 text") + kPlansAreUtf8Csv};
    int line = 1;
    for (size_t at = 0; at < content.size();) {
        const char c = content[at];
        if (c == '\n' || (c == '\r' && (at + 1 == content.size() || content[at + 1] != '\n'))) ++line;
        const size_t length = WellFormedUtf8Length(content, at);
        if (length > 0) {
            at += length;
            continue;
        }
        // GBK and GB18030 write a Chinese character as a lead byte 0x81-0xFE and a second byte 0x40-0xFE.
        const auto lead = static_cast<unsigned char>(c);
        const auto next = at + 1 < content.size() ? static_cast<unsigned char>(content[at + 1]) : 0;
        const bool chinesePage = lead >= 0x81 && lead <= 0xFE && next >= 0x40 && next <= 0xFE && next != 0x7F;
        return PlanError{
            line, "",
            std::string(chinesePage ? "the file is not UTF-8 text (it looks like the Chinese code page, GBK)"
                                    : "the file is not UTF-8 text") +
                kPlansAreUtf8Csv};
    }
    if (firstLine.find('\t') != std::string_view::npos &&
        firstLine.find_first_of(",;") == std::string_view::npos)
        return PlanError{1, "", std::string("the columns are separated by tabs") + kPlansAreUtf8Csv};
    return std::nullopt;
}

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

// A cell or header as an error message shows it: cut after a few dozen
// characters, control bytes and bytes that are not UTF-8 written as \xHH,
// so a hostile file cannot flood or garble the operator's terminal.
std::string Shown(std::string_view text) {
    constexpr size_t kShownCharacters = 40;
    std::string shown;
    size_t characters = 0;
    for (size_t at = 0; at < text.size(); ++characters) {
        if (characters == kShownCharacters) return shown + "...";
        const size_t length = WellFormedUtf8Length(text, at);
        const auto byte = static_cast<unsigned char>(text[at]);
        if (length == 0 || byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
            ++at;
        } else {
            shown += text.substr(at, length);
            at += length;
        }
    }
    return shown;
}

std::string QuotedCell(std::string_view text) {
    return "\"" + Shown(text) + "\"";
}

// Columns a plan can have at most: every name it knows, with room for an
// inventory's ignored columns written twice; more is no plan.
constexpr size_t kMaxColumns = 64;

struct Layout {
    std::vector<std::string> headers;
    std::vector<ColumnMeaning> meanings;
    int deviceColumn = -1;
};

// The device column and the five settings: each may appear once.
size_t CountedSlot(const ColumnMeaning& meaning) {
    return meaning.kind == ColumnKind::kDevice ? 0 : 1 + static_cast<size_t>(meaning.setting);
}

bool ReadHeader(const Record& header, Layout& layout, AddressPlan& plan, PlanError& error) {
    int firstColumnOf[1 + kPlanSettingCount];
    std::fill(std::begin(firstColumnOf), std::end(firstColumnOf), -1);
    for (const Field& field : header.fields) {
        const auto it = KnownColumns().find(Lower(field.text));
        if (it == KnownColumns().end()) {
            error = {header.line, field.text,
                     field.text.empty()
                         ? "a column has no name"
                         : "unknown column (a plan has device, ip, mask, gateway, server, standby)"};
            return false;
        }
        const ColumnMeaning& meaning = it->second;
        const int column = static_cast<int>(layout.headers.size());
        if (meaning.kind != ColumnKind::kIgnored) {
            int& first = firstColumnOf[CountedSlot(meaning)];
            if (first >= 0) {
                error = {header.line, field.text,
                         "the same column as " + QuotedCell(layout.headers[static_cast<size_t>(first)])};
                return false;
            }
            first = column;
        }
        if (meaning.kind == ColumnKind::kDevice) layout.deviceColumn = column;
        if (meaning.kind == ColumnKind::kSetting)
            plan.headers[static_cast<int>(meaning.setting)] = field.text;
        layout.headers.push_back(field.text);
        layout.meanings.push_back(meaning);
    }
    if (layout.deviceColumn < 0) {
        error = {header.line, "", "no device column (the header names the columns: device, ip, mask, ...)"};
        return false;
    }
    return true;
}

std::optional<int32_t> ParseDeviceNumber(std::string_view text) {
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
    row.line = record.line;
    for (size_t c = 0; c < layout.headers.size(); ++c) {
        const std::string_view cell = c < record.fields.size() ? record.fields[c].text : std::string_view();
        const ColumnMeaning& meaning = layout.meanings[c];
        if (meaning.kind == ColumnKind::kDevice) {
            const std::optional<int32_t> number = ParseDeviceNumber(cell);
            if (!number) {
                error = {record.line, layout.headers[c],
                         cell.empty() ? "no device number" : QuotedCell(cell) + " is not a device number"};
                return false;
            }
            row.device = *number;
        } else if (meaning.kind == ColumnKind::kSetting && !cell.empty()) {
            // "255.255.255.255" is the longest address: a longer cell is none, and is not copied.
            constexpr size_t kLongestAddress = 15;
            const std::optional<uint32_t> address =
                cell.size() > kLongestAddress ? std::nullopt : ParseDottedAddress(std::string(cell));
            if (!address) {
                error = {record.line, layout.headers[c],
                         QuotedCell(cell) + " is not an address of four octets 0-255"};
                return false;
            }
            row.settings[static_cast<int>(meaning.setting)] = IPv4Address(*address);
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
    PlanReading reading;
    if (content.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        content.remove_prefix(kByteOrderMark.size());
    if (std::optional<PlanError> notCsv = NotUtf8Csv(content)) {
        reading.error = *notCsv;
        return reading;
    }
    CsvReader reader(content, DetectSeparator(content));
    AddressPlan plan;
    Layout layout;
    Record record;
    const std::string tooManyColumns = "the header has more than " + std::to_string(kMaxColumns) + " columns";
    switch (reader.Next(record, kMaxColumns, tooManyColumns, reading.error)) {
        case CsvReader::Outcome::kEnd:
            reading.error = {1, "", "the plan is empty (no header line)"};
            return reading;
        case CsvReader::Outcome::kFault:
            return reading;
        case CsvReader::Outcome::kRecord:
            break;
    }
    if (!ReadHeader(record, layout, plan, reading.error)) return reading;
    const int headerLine = record.line;

    const std::string tooManyFields = "more fields than the header has columns";
    std::unordered_map<int32_t, int> lineOfDevice;
    CsvReader::Outcome outcome;
    while ((outcome = reader.Next(record, layout.headers.size(), tooManyFields, reading.error)) ==
           CsvReader::Outcome::kRecord) {
        if (plan.rows.size() == static_cast<size_t>(kMaxDeviceRows)) {
            reading.error = {
                record.line, "",
                "more than " + std::to_string(kMaxDeviceRows) + " devices, more than the device table holds"};
            return reading;
        }
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
    if (outcome == CsvReader::Outcome::kFault) return reading;
    if (plan.rows.empty()) {
        reading.error = {headerLine, "", "the plan lists no devices (only its header line)"};
        return reading;
    }
    reading.plan = std::move(plan);
    return reading;
}

std::string DescribePlanError(const std::string& fileName, const PlanError& error) {
    std::string text = fileName + ", line " + std::to_string(error.line);
    if (!error.column.empty()) text += ", column " + QuotedCell(error.column);
    return text + ": " + error.message;
}

}  // namespace quillane::cli
