#pragma once

// Run reports: one JSON object per device and line (JSON Lines), appended to
// a file the operator names, so a fleet's history builds up run after run.

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillane::cli {

struct FirmwareFacts {
    std::string name;  // the file's name, without its folder
    uint64_t size = 0;
    std::string sha256;
};

struct DeviceRecord {
    std::string command;  // "change" or "upgrade"
    std::chrono::system_clock::time_point started, ended;
    int32_t device = 0;
    std::string addressBefore, versionBefore;
    // Empty when not known (an upgrade without --verify, a device not found again).
    std::string addressAfter, versionAfter;
    std::optional<FirmwareFacts> firmware;
    std::string result;  // a stable value: "success", "failure", "refused", "not-found", "unchanged"
    std::string reason;  // for anything but success: why, in English
};

// One line of JSON, ended by "\n". Times are UTC with milliseconds, as ISO 8601.
std::string FormatRecord(const DeviceRecord& record);
std::string IsoTime(std::chrono::system_clock::time_point time);

// Appends the lines to the file (made when missing). An earlier record is
// never touched: a file whose last line was cut short gets a line break first,
// so the new records stay whole lines. False with `error` when the file could
// not be opened or written in full.
bool AppendRecords(const std::string& utf8Path, const std::vector<std::string>& lines, std::string& error);

// The records of one run, written together at its end (when a file was named).
class RunReport {
public:
    explicit RunReport(std::string utf8Path) : m_path(std::move(utf8Path)) {}
    void Add(const DeviceRecord& record) {
        if (!m_path.empty()) m_lines.push_back(FormatRecord(record));
    }
    // False, with the problem said on `err`, when the file could not be written.
    bool Write(std::ostream& err);

private:
    std::string m_path;
    std::vector<std::string> m_lines;
};

}  // namespace quillane::cli
