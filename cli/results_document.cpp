#include "results_document.h"

#include <ostream>

#include "json_text.h"

namespace quillane::cli {
namespace {

std::string TextOrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

std::string Member(const char* key, const std::string& json) {
    return JsonString(key) + ": " + json;
}

std::string SettingsJson(const std::optional<SettingsFacts>& settings) {
    if (!settings) return "null";
    return "{" + Member("ip", JsonString(settings->ip)) + ", " + Member("mask", JsonString(settings->mask)) +
           ", " + Member("gateway", JsonString(settings->gateway)) + ", " +
           Member("server", JsonString(settings->server)) + ", " +
           Member("standby", JsonString(settings->standby)) + "}";
}

std::string EntryJson(const ResultEntry& e) {
    return "{" + Member("device", std::to_string(e.device)) + ", " + Member("result", JsonString(e.result)) +
           ", " + Member("reason", JsonString(e.reason)) + ", " +
           Member("address_before", TextOrNull(e.addressBefore)) + ", " +
           Member("address_after", TextOrNull(e.addressAfter)) + ", " +
           Member("version_before", TextOrNull(e.versionBefore)) + ", " +
           Member("version_after", TextOrNull(e.versionAfter)) + ", " +
           Member("settings_before", SettingsJson(e.settingsBefore)) + ", " +
           Member("settings_after", SettingsJson(e.settingsAfter)) + "}";
}

bool CountsAsFailed(const std::string& result) {
    return result == "failure" || result == "failed" || result == "refused" || result == "not-found";
}

}  // namespace

std::string FormatResultsDocument(const std::string& command, bool dryRun,
                                  const std::optional<FirmwareFacts>& firmware,
                                  const std::vector<ResultEntry>& entries, int exitCode) {
    std::string out = "{" + Member("command", JsonString(command)) + ", " +
                      Member("dry_run", dryRun ? "true" : "false") + ",\n";
    if (firmware) {
        out += " " +
               Member("firmware", "{" + Member("name", JsonString(firmware->name)) + ", " +
                                      Member("size", std::to_string(firmware->size)) + ", " +
                                      Member("sha256", JsonString(firmware->sha256)) + "}") +
               ",\n";
    }
    out += " " + JsonString("results") + ": [";
    std::map<std::string, int> counts;
    int failed = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        out += (i ? ",\n  " : "\n  ") + EntryJson(entries[i]);
        ++counts[entries[i].result];
        failed += CountsAsFailed(entries[i].result) ? 1 : 0;
    }
    out += entries.empty() ? "],\n" : "\n ],\n";
    std::string byResult;
    for (const auto& [result, count] : counts)
        byResult += (byResult.empty() ? "" : ", ") + Member(result.c_str(), std::to_string(count));
    out += " " +
           Member("summary", "{" + Member("devices", std::to_string(entries.size())) + ", " +
                                 Member("failed", std::to_string(failed)) + ", " +
                                 Member("results", "{" + byResult + "}") + ", " +
                                 Member("exit_status", std::to_string(exitCode)) + "}") +
           "}\n";
    return out;
}

std::string DocumentResult(const DeviceRecord& record) {
    if (record.command != "upgrade") return record.result;
    if (record.result == "success") return "upgraded";
    if (record.result == "failure") return "failed";
    if (record.result == "unchanged") return "skipped";
    return record.result;
}

ResultsDocument::ResultsDocument(std::string command, const Invocation& invocation, std::ostream& out)
    : m_command(std::move(command)),
      m_wanted(invocation.format == OutputFormat::Json),
      m_dryRun(invocation.command == Command::Upgrade ? invocation.upgrade.record.dryRun
                                                      : invocation.change.record.dryRun),
      m_out(out) {}

void ResultsDocument::Add(const DeviceRecord& record) {
    ResultEntry entry;
    entry.device = record.device;
    entry.result = DocumentResult(record);
    entry.reason = record.reason;
    entry.addressBefore = record.addressBefore;
    entry.addressAfter = record.addressAfter;
    entry.versionBefore = record.versionBefore;
    entry.versionAfter = record.versionAfter;
    if (record.firmware && !m_firmware) m_firmware = record.firmware;
    m_entries.push_back(std::move(entry));
}

void ResultsDocument::Settings(int32_t device, SettingsFacts before, std::optional<SettingsFacts> after) {
    m_settings[device] = {std::move(before), std::move(after)};
}

int ResultsDocument::Finish(int exitCode) {
    if (!m_wanted) return exitCode;
    for (ResultEntry& entry : m_entries) {
        const auto settings = m_settings.find(entry.device);
        if (settings == m_settings.end()) continue;
        entry.settingsBefore = settings->second.first;
        entry.settingsAfter = settings->second.second;
    }
    m_out << FormatResultsDocument(m_command, m_dryRun, m_firmware, m_entries, exitCode) << std::flush;
    return exitCode;
}

}  // namespace quillane::cli
