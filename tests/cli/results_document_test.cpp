#include "results_document.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillane::cli {
namespace {

TEST(ResultsDocument, OneDocumentWithResultsAndSummary) {
    ResultEntry changed;
    changed.device = 4879;
    changed.result = "success";
    changed.addressBefore = "10.0.0.5";
    changed.addressAfter = "10.0.0.9";
    changed.settingsBefore = SettingsFacts{"10.0.0.5", "255.0.0.0", "10.0.0.1", "10.0.0.2", "0.0.0.0"};
    ResultEntry missing;
    missing.device = -3;
    missing.result = "not-found";
    missing.reason = "say \"why\"";
    EXPECT_EQ(
        FormatResultsDocument("change", false, std::nullopt, {changed, missing}, 3),
        "{\"command\": \"change\", \"dry_run\": false,\n"
        " \"results\": [\n"
        "  {\"device\": 4879, \"result\": \"success\", \"reason\": \"\", \"address_before\": \"10.0.0.5\", "
        "\"address_after\": \"10.0.0.9\", \"version_before\": null, \"version_after\": null, "
        "\"settings_before\": {\"ip\": \"10.0.0.5\", \"mask\": \"255.0.0.0\", \"gateway\": \"10.0.0.1\", "
        "\"server\": \"10.0.0.2\", \"standby\": \"0.0.0.0\"}, \"settings_after\": null},\n"
        "  {\"device\": -3, \"result\": \"not-found\", \"reason\": \"say \\\"why\\\"\", \"address_before\": "
        "null, \"address_after\": null, \"version_before\": null, \"version_after\": null, "
        "\"settings_before\": null, \"settings_after\": null}\n"
        " ],\n"
        " \"summary\": {\"devices\": 2, \"failed\": 1, \"results\": {\"not-found\": 1, \"success\": 1}, "
        "\"exit_status\": 3}}\n");
    EXPECT_EQ(FormatResultsDocument("upgrade", true, FirmwareFacts{"fw.bin", 12, "ab"}, {}, 0),
              "{\"command\": \"upgrade\", \"dry_run\": true,\n"
              " \"firmware\": {\"name\": \"fw.bin\", \"size\": 12, \"sha256\": \"ab\"},\n"
              " \"results\": [],\n"
              " \"summary\": {\"devices\": 0, \"failed\": 0, \"results\": {}, \"exit_status\": 0}}\n");
}

TEST(ResultsDocument, RecordResultsInTheDocumentsTerms) {
    const struct {
        const char* command;
        const char* record;
        const char* document;
    } cases[] = {
        {"change", "success", "success"},    {"change", "failure", "failure"},
        {"change", "refused", "refused"},    {"change", "unchanged", "unchanged"},
        {"upgrade", "success", "upgraded"},  {"upgrade", "failure", "failed"},
        {"upgrade", "unchanged", "skipped"}, {"upgrade", "not-found", "not-found"},
    };
    for (const auto& c : cases) {
        DeviceRecord record;
        record.command = c.command;
        record.result = c.record;
        EXPECT_EQ(DocumentResult(record), c.document) << c.command << " " << c.record;
    }
}

TEST(ResultsDocument, TheHumanLinesGoNowhereWhenTheDocumentIsWanted) {
    for (const bool json : {false, true}) {
        Invocation invocation;
        invocation.command = Command::Change;
        invocation.format = json ? OutputFormat::Json : OutputFormat::Table;
        std::ostringstream out;
        ResultsDocument document("change", invocation, out);
        document.Text() << "device 1  10.0.0.1 -> 10.0.0.2  Success\n";
        DeviceRecord record;
        record.command = "change";
        record.device = 1;
        record.result = "success";
        document.Add(record);
        document.Settings(1, {"10.0.0.1", "", "", "", ""}, SettingsFacts{"10.0.0.2", "", "", "", ""});
        EXPECT_EQ(document.Finish(0), 0);
        if (json) {
            EXPECT_EQ(out.str().find("Success"), std::string::npos);
            EXPECT_NE(out.str().find("\"settings_after\": {\"ip\": \"10.0.0.2\""), std::string::npos)
                << out.str();
        } else {
            EXPECT_EQ(out.str(), "device 1  10.0.0.1 -> 10.0.0.2  Success\n");
        }
    }
}

}  // namespace
}  // namespace quillane::cli
