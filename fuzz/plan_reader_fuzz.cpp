// libFuzzer target: an address plan file of any bytes. Reading gives a plan
// or a fault, never both; a plan's rows name distinct devices on rising lines
// below the header. A byte-order mark, CR LF line ends and the other field
// separator do not change the outcome, and a plan written out by the export
// writer reads back as the same plan.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/device_table.h"
#include "model/table_export.h"
#include "model/texts.h"
#include "plan_file.h"
#include "support/ipv4.h"

using namespace quillane;
using namespace quillane::cli;

namespace {

void Require(bool holds) {
    if (!holds) std::abort();
}

// What a reading decided, without the wording of its messages (a cell shown
// in a message changes with the line ends and separators around it).
struct Outcome {
    bool isPlan = false;
    std::vector<std::pair<int32_t, std::vector<std::optional<uint32_t>>>> rows;
    int errorLine = 0;
    std::string errorColumn;

    bool operator==(const Outcome&) const = default;
};

Outcome Read(std::string_view content) {
    const PlanReading reading = ReadAddressPlan(content);
    Outcome outcome;
    Require(reading.plan.has_value() != !reading.error.message.empty());  // a plan or a fault, never both
    if (!reading.plan) {
        outcome.errorLine = reading.error.line;
        // A quoted header cell keeps its line break, which CR LF lengthens.
        for (char c : reading.error.column)
            if (c != '\r') outcome.errorColumn += c;
        Require(reading.error.line >= 1);
        return outcome;
    }
    outcome.isPlan = true;
    std::set<int32_t> devices;
    int lastLine = 1;
    Require(!reading.plan->rows.empty() && reading.plan->rows.size() <= static_cast<size_t>(kMaxDeviceRows));
    for (const PlanRow& row : reading.plan->rows) {
        Require(devices.insert(row.device).second);
        Require(row.line > lastLine);
        lastLine = row.line;
        outcome.rows.push_back({row.device, {std::begin(row.settings), std::end(row.settings)}});
    }
    return outcome;
}

std::string Replaced(std::string_view text, char from, std::string_view to) {
    std::string out;
    for (char c : text) {
        if (c == from) {
            out += to;
        } else {
            out += c;
        }
    }
    return out;
}

// The plan as the device list's CSV export writes its columns.
std::string Exported(const Outcome& plan) {
    const TextTable& texts = Texts(2);
    const int columns[] = {kColDeviceNo, kColIP, kColMask, kColGateway, kColServer, kColStandbyServer};
    TextRows rows(1);
    for (int column : columns) rows[0].push_back(texts.columnHeaders[static_cast<size_t>(column)]);
    for (const auto& [device, settings] : plan.rows) {
        std::vector<std::string> cells = {std::to_string(device)};
        for (const std::optional<uint32_t>& s : settings)
            cells.push_back(s ? IPv4Address(*s).ToString() : "");
        rows.push_back(std::move(cells));
    }
    return CsvFileContent(rows);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const Outcome outcome = Read(content);

    if (content.substr(0, 3) != "\xEF\xBB\xBF")
        Require(Read("\xEF\xBB\xBF" + std::string(content)) == outcome);

    const bool hasCr = content.find('\r') != std::string_view::npos;
    if (!hasCr) Require(Read(Replaced(content, '\n', "\r\n")) == outcome);

    // Semicolons for commas, where the header line plainly uses commas.
    const std::string_view firstLine = content.substr(0, content.find('\n'));
    if (!hasCr && content.find(';') == std::string_view::npos &&
        firstLine.find('"') == std::string_view::npos && firstLine.find(',') != std::string_view::npos)
        Require(Read(Replaced(content, ',', ";")) == outcome);

    if (outcome.isPlan) {
        const Outcome again = Read(Exported(outcome));
        Require(again.isPlan && again.rows == outcome.rows);
    }
    return 0;
}
