#pragma once

// The result of a change or an upgrade as one JSON document on standard
// output (--format json), for programs that drive the tool: one object per
// device with a stable result value, and a summary. The human lines of the
// table format are not printed then; messages and progress stay on standard
// error.

#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "run_report.h"

namespace quillane::cli {

// A device's address settings in the document.
struct SettingsFacts {
    std::string ip, mask, gateway, server, standby;
};

struct ResultEntry {
    int32_t device = 0;
    // change: "success", "failure", "refused", "not-found", "unchanged", "would-change";
    // upgrade: "upgraded", "failed", "skipped", "not-found", "would-upgrade".
    std::string result;
    std::string reason;
    std::string addressBefore, addressAfter, versionBefore, versionAfter;  // empty: null
    std::optional<SettingsFacts> settingsBefore, settingsAfter;
};

// The whole document, ended by a line break.
std::string FormatResultsDocument(const std::string& command, bool dryRun,
                                  const std::optional<FirmwareFacts>& firmware,
                                  const std::vector<ResultEntry>& entries, int exitCode);

// The result value of a device's run record in the document's terms.
std::string DocumentResult(const DeviceRecord& record);

// Collects a command's results and prints them when the document is wanted.
class ResultsDocument {
public:
    ResultsDocument(std::string command, const Invocation& invocation, std::ostream& out);

    bool Wanted() const { return m_wanted; }
    // Where the human lines go: the real output, or nowhere when the document is wanted.
    std::ostream& Text() { return m_wanted ? m_discarded : m_out; }

    void Add(const DeviceRecord& record);
    void Add(ResultEntry entry) { m_entries.push_back(std::move(entry)); }
    // Settings before and after for the device's entry (added before or after).
    void Settings(int32_t device, SettingsFacts before, std::optional<SettingsFacts> after);
    void Firmware(FirmwareFacts firmware) { m_firmware = std::move(firmware); }

    // Prints the document (when wanted) and hands the exit code back.
    int Finish(int exitCode);

private:
    std::string m_command;
    bool m_wanted;
    bool m_dryRun;
    std::ostream& m_out;
    std::ostream m_discarded{nullptr};  // no buffer: every write is dropped
    std::optional<FirmwareFacts> m_firmware;
    std::vector<ResultEntry> m_entries;
    std::map<int32_t, std::pair<SettingsFacts, std::optional<SettingsFacts>>> m_settings;
};

}  // namespace quillane::cli
