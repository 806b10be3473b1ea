#include "row_format.h"

#include <gtest/gtest.h>

#include <sstream>

#include "progress_line.h"

using namespace quillane;
using namespace quillane::cli;

namespace {

DeviceRow Row(const std::string& no, const std::string& ip, const std::string& type,
              const std::string& number) {
    DeviceRow row;
    row[kColNo] = no;
    row[kColVersion] = "2015.6.12.5";
    row[kColIP] = ip;
    row[kColMask] = "255.255.0.0";
    row[kColGateway] = "10.77.0.254";
    row[kColServer] = "10.77.0.1";
    row[kColStandbyServer] = "10.77.0.2";
    row[kColType] = type;
    row[kColDeviceNo] = number;
    row[kColMarker] = "0";
    return row;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(CliRowFormat, CsvHasTheHeadersAndElevenColumns) {
    const std::string csv =
        FormatRows({Row("1", "10.77.1.1", "Play terminal", "100000")}, OutputFormat::Csv, 2);
    EXPECT_EQ(
        csv,
        "No.,Choice,Version,State,IP address,Mask,gateway,Server IP address,Standby server IP,Device type,"
        "Device No.\n"
        "1,,2015.6.12.5,,10.77.1.1,255.255.0.0,10.77.0.254,10.77.0.1,10.77.0.2,Play terminal,100000\n");
    EXPECT_EQ(Lines(FormatRows({}, OutputFormat::Csv, 1)).size(), 1u) << "headers only";
}

TEST(CliRowFormat, JsonObjectsWithFixedKeys) {
    DeviceRow odd = Row("2", "10.77.1.2", "say \"x\"\\", "-51");
    odd[kColChoice] = kCheckMark;
    odd[kColVersion] = "line\nbreak";
    odd[kColState] = "失败";  // the text; programs get the state's stable name
    const std::string json = FormatRows(
        {Row("1", "10.77.1.1", "播放终端", "100000"), {odd, RowState::Failed(FailureReason::kNoAnswer)}},
        OutputFormat::Json, 1);
    EXPECT_EQ(
        json,
        "[\n"
        "  {\"no\": 1, \"chosen\": false, \"version\": \"2015.6.12.5\", \"state\": \"\", \"ip\": "
        "\"10.77.1.1\", "
        "\"mask\": \"255.255.0.0\", \"gateway\": \"10.77.0.254\", \"server\": \"10.77.0.1\", "
        "\"standbyServer\": "
        "\"10.77.0.2\", \"type\": \"播放终端\", \"deviceNo\": 100000},\n"
        "  {\"no\": 2, \"chosen\": true, \"version\": \"line\\u000abreak\", \"state\": \"failed:no-answer\", "
        "\"ip\": "
        "\"10.77.1.2\", \"mask\": \"255.255.0.0\", \"gateway\": \"10.77.0.254\", \"server\": \"10.77.0.1\", "
        "\"standbyServer\": \"10.77.0.2\", \"type\": \"say \\\"x\\\"\\\\\", \"deviceNo\": -51}\n"
        "]\n");
    EXPECT_EQ(FormatRows({}, OutputFormat::Json, 2), "[]\n");
    DeviceRow blank = Row("", "", "", "");
    EXPECT_NE(FormatRows({blank}, OutputFormat::Json, 2).find("\"deviceNo\": \"\""), std::string::npos)
        << "a cell that is no number stays a string";
}

TEST(CliRowFormat, TableColumnsLineUpWithChineseTexts) {
    const std::string table =
        FormatRows({Row("1", "10.77.1.1", "播放终端", "7"), Row("12", "10.77.1.200", "Unknown", "100000")},
                   OutputFormat::Table, 1);
    const std::vector<std::string> lines = Lines(table);
    ASSERT_EQ(lines.size(), 3u);
    // Every column starts at the same display position in every line.
    const auto columnStart = [](const std::string& line, const std::string& cell) {
        return DisplayWidth(line.substr(0, line.find(cell)));
    };
    const auto lastColumnStart = [](const std::string& line) {
        return DisplayWidth(line.substr(0, line.rfind(' ') + 1));
    };
    EXPECT_EQ(columnStart(lines[1], "10.77.1.1"), columnStart(lines[2], "10.77.1.200"));
    EXPECT_EQ(columnStart(lines[0], "IP地址"), columnStart(lines[1], "10.77.1.1"));
    EXPECT_EQ(lastColumnStart(lines[0]), lastColumnStart(lines[1]));
    EXPECT_EQ(lastColumnStart(lines[1]), lastColumnStart(lines[2]));
    EXPECT_EQ(lines[1].back(), '7') << "no trailing blanks";
}

TEST(CliRowFormat, DisplayWidthCountsWideCharactersTwice) {
    EXPECT_EQ(DisplayWidth(""), 0u);
    EXPECT_EQ(DisplayWidth("abc"), 3u);
    EXPECT_EQ(DisplayWidth("播放终端"), 8u);
    EXPECT_EQ(DisplayWidth("IP地址"), 6u);
    EXPECT_EQ(DisplayWidth(kCheckMark), 1u);
    EXPECT_EQ(DisplayWidth("3、4"), 4u);
}

TEST(CliProgressLine, OneLinePerTenPercentOffATerminal) {
    std::ostringstream err;
    {
        ProgressLine line(err, "10.77.1.5", false);
        for (int p : {0, 3, 9, 10, 11, 25, 25, 31, 99, 100, 0}) line.Show(p);
    }
    EXPECT_EQ(err.str(), "10.77.1.5 10%\n10.77.1.5 20%\n10.77.1.5 30%\n10.77.1.5 90%\n10.77.1.5 100%\n");
}

TEST(CliProgressLine, OneLiveLineOnATerminal) {
    std::ostringstream err;
    {
        ProgressLine line(err, "walk", true);
        for (int p : {1, 1, 2, 100, 0}) line.Show(p);
        line.Finish();
        line.Show(50);
    }
    EXPECT_EQ(err.str(), "\rwalk 1%\rwalk 2%\rwalk 100%\n");
    std::ostringstream nothing;
    { ProgressLine line(nothing, "idle", true); }
    EXPECT_EQ(nothing.str(), "") << "no line was started, none is ended";
}
