#include "run_report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "testing/temp_folder.h"

namespace quillane::cli {
namespace {

using std::chrono::milliseconds;
using std::chrono::system_clock;

system_clock::time_point At(int64_t msSinceEpoch) {
    return system_clock::time_point(milliseconds(msSinceEpoch));
}

TEST(RunReport, RecordIsOneLineOfJsonWithStableKeys) {
    DeviceRecord upgrade{"upgrade",
                         At(1796940000123),
                         At(1796940012004),
                         4879,
                         "10.0.0.5",
                         "V1.0",
                         "10.0.0.5",
                         "V2.0",
                         FirmwareFacts{"fw \"new\".bin", 70000, "ab12"},
                         "success",
                         ""};
    EXPECT_EQ(
        FormatRecord(upgrade),
        "{\"command\": \"upgrade\", \"started\": \"2026-12-10T22:00:00.123Z\", \"ended\": "
        "\"2026-12-10T22:00:12.004Z\", \"device\": 4879, \"addressBefore\": \"10.0.0.5\", \"addressAfter\": "
        "\"10.0.0.5\", \"versionBefore\": \"V1.0\", \"versionAfter\": \"V2.0\", \"firmware\": {\"name\": "
        "\"fw \\\"new\\\".bin\", \"size\": 70000, \"sha256\": \"ab12\"}, \"result\": \"success\"}\n");

    DeviceRecord refused{"change",
                         At(0),
                         At(1),
                         -5,
                         "10.0.0.6",
                         "V1",
                         "",
                         "",
                         std::nullopt,
                         "refused",
                         "address conflict: 10.0.1.1 would also go to device 7"};
    EXPECT_EQ(
        FormatRecord(refused),
        "{\"command\": \"change\", \"started\": \"1970-01-01T00:00:00.000Z\", \"ended\": "
        "\"1970-01-01T00:00:00.001Z\", \"device\": -5, \"addressBefore\": \"10.0.0.6\", \"addressAfter\": "
        "null, \"versionBefore\": \"V1\", \"versionAfter\": null, \"result\": \"refused\", \"reason\": "
        "\"address conflict: 10.0.1.1 would also go to device 7\"}\n");
}

TEST(RunReport, AppendingKeepsEveryEarlierRecordWhole) {
    test::TempFolder folder;
    const std::string path = folder.File("report.jsonl");
    std::string error;
    ASSERT_TRUE(AppendRecords(path, {"{\"a\": 1}\n"}, error)) << error;
    ASSERT_TRUE(AppendRecords(path, {"{\"b\": 2}\n", "{\"c\": 3}\n"}, error)) << error;
    EXPECT_EQ(folder.Read("report.jsonl"), "{\"a\": 1}\n{\"b\": 2}\n{\"c\": 3}\n");

    // A record cut short by an earlier crash stays as it is; the next ones start on a line of their own.
    folder.Write("cut.jsonl", "{\"a\": 1}\n{\"b\": ");
    ASSERT_TRUE(AppendRecords(folder.File("cut.jsonl"), {"{\"c\": 3}\n"}, error)) << error;
    EXPECT_EQ(folder.Read("cut.jsonl"), "{\"a\": 1}\n{\"b\": \n{\"c\": 3}\n");
}

// A firmware file's name need not be UTF-8 on Linux; every record must
// still be valid JSON, as a JSON parser (Python's, strict UTF-8) reads it.
TEST(RunReport, RecordsWithNamesThatAreNotUtf8StillParse) {
#ifdef _WIN32
    GTEST_SKIP() << "the parser is the Linux build machine's python3";
#else
    test::TempFolder folder;
    DeviceRecord record;
    record.command = "upgrade";
    record.device = 7;
    record.firmware = FirmwareFacts{"fw\xFF\xFE\xC3(\x1B\"\\ \xE4\xB8\xAD.bin", 1, "ab"};
    record.result = "failure";
    record.reason = "cut \xE4\xB8";
    const std::string line = FormatRecord(record);
    EXPECT_NE(line.find("\"fw\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD(\\u001b\\\"\\\\ \xE4\xB8\xAD.bin\""),
              std::string::npos)
        << line;
    std::string error;
    ASSERT_TRUE(AppendRecords(folder.File("report.jsonl"), {line, FormatRecord(record)}, error)) << error;
    const std::string check =
        "python3 -c 'import json, sys\n"
        "lines = open(sys.argv[1], encoding=\"utf-8\", errors=\"strict\").read().splitlines()\n"
        "assert len(lines) == 2\n"
        "for l in lines: assert json.loads(l)[\"firmware\"][\"name\"].endswith(\"\\u4e2d.bin\")' " +
        folder.File("report.jsonl");
    EXPECT_EQ(std::system(check.c_str()), 0) << check;
#endif
}

TEST(RunReport, WriteFailuresAreReported) {
    test::TempFolder folder;
    std::string error;
    std::filesystem::create_directory(folder.File("folder.jsonl"));
    EXPECT_FALSE(AppendRecords(folder.File("folder.jsonl"), {"{}\n"}, error));
    EXPECT_NE(error.find("folder.jsonl"), std::string::npos) << error;
#ifndef _WIN32
    error.clear();
    EXPECT_FALSE(AppendRecords("/dev/full", {"{}\n"}, error));  // every write ends in "no space left"
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
#endif
}

}  // namespace
}  // namespace quillane::cli
