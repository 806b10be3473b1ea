#include <gtest/gtest.h>

#include "model/settings.h"
#include "support/profile.h"
#include "testing/line_ends.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

using test::NewFileText;
using test::ReadBytes;
using test::WriteBytes;

constexpr const char* kFirstStartFile =
    "[Quillane]\n"
    "StartIP=0xC0A82801\n"
    "EndIP=0xC0A828FA\n"
    "IP=0xC0A82801\n"
    "Mask=0xFFFFFF00\n"
    "GateWay=0xC0A82801\n"
    "ServerIP=0xC0A828FA\n"
    "BackServerIP=0xC0A828FB\n"
    "IPCheck=1\n"
    "MaskCheck=1\n"
    "GateWayCheck=1\n"
    "ServerIPCheck=1\n"
    "BackServerIPCheck=1\n"
    "EditType=0\n"
    "UpdateProPath=\n"
    "PlayDev=1\n"
    "MorePlayDev=1\n"
    "PowerDev=1\n"
    "SoundBoxDev=1\n"
    "AlarmDev=1\n"
    "TelCallDev=1\n"
    "SoundCollectionDev=1\n"
    "SmallPoxSoundBoxDev=1\n"
    "bPowerManageDev=1\n"
    "bAmpMonitorDev=1\n"
    "bSenseInterfaceDev=1\n";

class SettingsTest : public ::testing::Test {
protected:
    test::TempFolder dir;
    std::string mainIni = dir.File("Quillane.ini");
};

TEST_F(SettingsTest, FirstStartWritesEveryDefaultButShowsTheOtherRange) {
    const MainSettings first = LoadOrCreateMainSettings(dir.Dir());
    EXPECT_EQ(ReadBytes(mainIni), NewFileText(kFirstStartFile));
    EXPECT_TRUE(first.created);
    EXPECT_EQ(first.startIP, 0xC0A82C01u);  // 192.168.44.1
    EXPECT_EQ(first.endIP, 0xC0A82CFAu);    // 192.168.44.250
    EXPECT_EQ(first.findType, 0);
    EXPECT_EQ(first.updateFile, "");
    for (int flag : first.filters) EXPECT_EQ(flag, 1);

    const MainSettings second = LoadOrCreateMainSettings(dir.Dir());
    EXPECT_FALSE(second.created);
    EXPECT_EQ(second.startIP, 0xC0A82801u);  // the hexadecimal defaults read back
    EXPECT_EQ(second.endIP, 0xC0A828FAu);
    EXPECT_EQ(ReadBytes(mainIni), NewFileText(kFirstStartFile));
}

TEST_F(SettingsTest, LaterChangesAreWrittenKeyByKeyAndRestored) {
    LoadOrCreateMainSettings(dir.Dir());
    EXPECT_TRUE(WriteRange(dir.Dir(), 0x0A000001, 0x0A000009));  // 10.0.0.1 - 10.0.0.9
    EXPECT_TRUE(WriteFindType(dir.Dir(), 1));
    EXPECT_TRUE(WriteFilter(dir.Dir(), 4, 0));  // AlarmDev
    EXPECT_TRUE(WriteUpdateFile(dir.Dir(), "/opt/fw/play terminal.bin"));
    std::string expected = kFirstStartFile;
    auto replace = [&expected](const std::string& from, const std::string& to) {
        expected.replace(expected.find(from), from.size(), to);
    };
    replace("StartIP=0xC0A82801", "StartIP=167772161");
    replace("EndIP=0xC0A828FA", "EndIP=167772169");
    replace("AlarmDev=1", "AlarmDev=0");
    replace("UpdateProPath=", "UpdateProPath=/opt/fw/play terminal.bin");
    expected += "CurFindType=1\n";
    EXPECT_EQ(ReadBytes(mainIni), NewFileText(expected));

    MainSettings read = LoadOrCreateMainSettings(dir.Dir());
    EXPECT_EQ(read.startIP, 0x0A000001u);
    EXPECT_EQ(read.endIP, 0x0A000009u);
    EXPECT_EQ(read.findType, 1);
    EXPECT_EQ(read.updateFile, "/opt/fw/play terminal.bin");
    EXPECT_EQ(read.filters[4], 0);

    EXPECT_TRUE(WriteRange(dir.Dir(), 0xC0A82801, 0xFFFFFFFE));  // stored as negative numbers
    EXPECT_NE(ReadBytes(mainIni).find(NewFileText("StartIP=-1062721535\nEndIP=-2\n")), std::string::npos);
    read = LoadOrCreateMainSettings(dir.Dir());
    EXPECT_EQ(read.startIP, 0xC0A82801u);
    EXPECT_EQ(read.endIP, 0xFFFFFFFEu);
    EXPECT_FALSE(WriteFilter(dir.Dir(), kDeviceTypeCount, 1));
}

TEST_F(SettingsTest, StoredValuesAreValidatedOnRead) {
    const struct {
        const char* findType;
        int expected;
    } cases[] = {{"0", 0}, {"1", 1}, {"7", 0}, {"-1", 0}, {"text", 0}};
    for (const auto& c : cases) {
        WriteBytes(mainIni,
                   std::string("[Quillane]\nCurFindType=") + c.findType + "\nPlayDev=text\nPowerDev=5\n");
        const MainSettings read = LoadOrCreateMainSettings(dir.Dir());
        EXPECT_FALSE(read.created);
        EXPECT_EQ(read.findType, c.expected) << c.findType;
        EXPECT_EQ(read.filters[0], 0);  // text: type not listed
        EXPECT_EQ(read.filters[1], 1);  // missing: default
        EXPECT_NE(read.filters[2], 0);
        EXPECT_EQ(read.startIP, 0u);
    }
}

TEST_F(SettingsTest, UpgradeParallelAndMaxFailuresAreReadInTheirRanges) {
    const struct {
        const char* lines;
        int parallel, maxFailures;
    } cases[] = {
        {"", 1, 0},
        {"UpgradeParallel=8\nUpgradeMaxFailures=3\n", 8, 3},
        {"upgradeparallel=32\n", 32, 0},  // names match without case
        {"UpgradeParallel=33\nUpgradeMaxFailures=-2\n", 1, 0},
        {"UpgradeParallel=0\nUpgradeMaxFailures=text\n", 1, 0},
        {"UpgradeParallel=-4\n", 1, 0},
        {"UpgradeParallel=4x\nUpgradeMaxFailures=12\n", 4, 12},  // leading digits, as the profile reads
    };
    for (const auto& c : cases) {
        WriteBytes(mainIni, std::string("[Quillane]\n") + c.lines);
        const MainSettings read = LoadOrCreateMainSettings(dir.Dir());
        EXPECT_EQ(read.upgradeParallel, c.parallel) << c.lines;
        EXPECT_EQ(read.upgradeMaxFailures, c.maxFailures) << c.lines;
    }
}

TEST_F(SettingsTest, DamagedFileIsReadWithDefaultsAndNotRewritten) {
    const std::string garbage("\0\x01\x02garbage\xff", 11);
    WriteBytes(mainIni, garbage);
    const MainSettings read = LoadOrCreateMainSettings(dir.Dir());
    EXPECT_FALSE(read.created);
    EXPECT_EQ(read.startIP, 0u);
    EXPECT_EQ(read.findType, 0);
    for (int flag : read.filters) EXPECT_EQ(flag, 1);
    EXPECT_EQ(ReadBytes(mainIni), garbage);
    EXPECT_TRUE(WriteFindType(dir.Dir(), 1));
    EXPECT_EQ(ReadBytes(mainIni), garbage + NewFileText("\n[Quillane]\nCurFindType=1\n"));
}

TEST_F(SettingsTest, UpdatePathIsCutTo259Characters) {
    LoadOrCreateMainSettings(dir.Dir());
    const std::string longPath = "/" + std::string(300, 'p');
    WriteUpdateFile(dir.Dir(), longPath);
    EXPECT_EQ(LoadOrCreateMainSettings(dir.Dir()).updateFile, longPath.substr(0, 259));
}

TEST_F(SettingsTest, LanguageIsEnglishOnlyForTwo) {
    EXPECT_EQ(ReadLanguage(dir.Dir()), 1);  // no "Config.ini"
    const struct {
        const char* text;
        int language;
    } cases[] = {{"1", 1},  {"2", 2},   {"3", 1},   {"0", 1}, {"9", 1},
                 {"-2", 1}, {"abc", 1}, {"0x2", 2}, {"", 1}};
    for (const auto& c : cases) {
        WriteBytes(dir.File("Config.ini"), std::string("[language]\r\ncurlanguage=") + c.text + "\r\n");
        EXPECT_EQ(ReadLanguage(dir.Dir()), c.language) << c.text;
    }
}

}  // namespace
}  // namespace quillane
