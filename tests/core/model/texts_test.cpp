#include "model/texts.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <utility>
#include <vector>

#include "model/device_types.h"

namespace quillane {
namespace {

// Every text of a set with a name, so a forgotten or swapped text shows which.
std::vector<std::pair<std::string, std::string>> AllTexts(int language) {
    const TextTable& t = Texts(language);
    std::vector<std::pair<std::string, std::string>> all = {
        {"windowTitle", t.windowTitle},
        {"keyboard", t.keyboard},
        {"find", t.find},
        {"modifyIP", t.modifyIP},
        {"modifyIPAfterRun", t.modifyIPAfterRun},
        {"stop", t.stop},
        {"typeLabel", t.typeLabel},
        {"fileLabel", t.fileLabel},
        {"open", t.open},
        {"upgrade", t.upgrade},
        {"selectAll", t.selectAll},
        {"cancel", t.cancel},
        {"noteLine", t.noteLine},
        {"ipDialogTitle", t.ipDialogTitle},
        {"modifyBox", t.modifyBox},
        {"ipDialogKeyboard", t.ipDialogKeyboard},
        {"ok", t.ok},
        {"dialogCancel", t.dialogCancel},
        {"stateSuccess", t.stateSuccess},
        {"stateFailure", t.stateFailure},
        {"stateModifying", t.stateModifying},
        {"stateUpgrading", t.stateUpgrading},
        {"stateNoSegment", t.stateNoSegment},
        {"stateUpgradeFailed", t.stateUpgradeFailed},
        {"stateNotStarted", t.stateNotStarted},
        {"noteUpgradeParallel", t.noteUpgradeParallel},
        {"noteBootUnanswered", t.noteBootUnanswered},
        {"captionError", t.captionError},
        {"captionHint", t.captionHint},
        {"msgStartAboveEnd", t.msgStartAboveEnd},
        {"msgNoDeviceType", t.msgNoDeviceType},
        {"msgCloseDuringUpgrade", t.msgCloseDuringUpgrade},
        {"msgNoDeviceToModify", t.msgNoDeviceToModify},
        {"msgIpOutOfRange", t.msgIpOutOfRange},
        {"msgUpgradeFileMissing", t.msgUpgradeFileMissing},
        {"msgNoDeviceToUpgrade", t.msgNoDeviceToUpgrade},
        {"msgStopPending", t.msgStopPending},
        {"msgSearchPending", t.msgSearchPending},
        {"unknownDevice", t.unknownDevice},
        {"menuExportList", t.menuExportList},
        {"menuCopy", t.menuCopy},
        {"exportFileFilter", t.exportFileFilter},
        {"msgExportFailed", t.msgExportFailed},
        {"msgIpLoopback", t.msgIpLoopback},
        {"msgIpNetworkAddress", t.msgIpNetworkAddress},
        {"msgIpBroadcastAddress", t.msgIpBroadcastAddress},
        {"msgMaskNotContiguous", t.msgMaskNotContiguous},
        {"menuAllowFirewall", t.menuAllowFirewall},
        {"noteFirewallBlocked", t.noteFirewallBlocked},
        {"noteFirewallUncovered", t.noteFirewallUncovered},
        {"listSeparator", t.listSeparator},
        {"labelSeparator", t.labelSeparator},
        {"portInUse", t.portInUse},
        {"portNotPermitted", t.portNotPermitted},
        {"portUnusable", t.portUnusable},
        {"msgFilePathTooLong", t.msgFilePathTooLong},
        {"msgFileUnreadable", t.msgFileUnreadable},
        {"msgFileEmpty", t.msgFileEmpty},
        {"msgBootServiceDown", t.msgBootServiceDown},
        {"msgTftpServiceDown", t.msgTftpServiceDown},
        {"refusalNotSingleHost", t.refusalNotSingleHost},
        {"refusalSharedGroupNumber", t.refusalSharedGroupNumber},
        {"refusalSameNewAddress", t.refusalSameNewAddress},
        {"refusalAddressInUse", t.refusalAddressInUse},
        {"refusalNotInPlan", t.refusalNotInPlan},
        {"noteRefusedOne", t.noteRefusedOne},
        {"noteRefusedMany", t.noteRefusedMany},
        {"noteRefusedMore", t.noteRefusedMore},
        {"findingSharedAddress", t.findingSharedAddress},
        {"findingSharedGroupNumber", t.findingSharedGroupNumber},
        {"findingOutsideSegments", t.findingOutsideSegments},
        {"findingNonHostAddress", t.findingNonHostAddress},
        {"addressKindNetwork", t.addressKindNetwork},
        {"addressKindBroadcast", t.addressKindBroadcast},
        {"addressKindMulticast", t.addressKindMulticast},
    };
    auto addArray = [&all](const std::string& name, const auto& items) {
        for (size_t i = 0; i < items.size(); ++i) all.emplace_back(name + std::to_string(i), items[i]);
    };
    addArray("findTypes", t.findTypes);
    addArray("columnHeaders", t.columnHeaders);
    addArray("octetLabels", t.octetLabels);
    addArray("fieldLabels", t.fieldLabels);
    addArray("editTypes", t.editTypes);
    addArray("msgFirstOctet", t.msgFirstOctet);
    for (const DeviceType& type : kDeviceTypes)
        all.emplace_back("typeBox" + std::to_string(type.boxId), TypeBoxCaption(type, language));
    return all;
}

TEST(TextsTest, OnlyTwoSelectsEnglish) {
    EXPECT_EQ(Texts(2).find, "Find");
    for (int language : {1, 0, 3, 9, -1}) EXPECT_EQ(&Texts(language), &Texts(1)) << language;
    EXPECT_EQ(Texts(1).find, "\xE6\x9F\xA5\xE6\x89\xBE");  // 查找
}

// Texts with values: each "{N}" takes the Nth value, wherever the language puts it.
TEST(TextsTest, FillInPutsEachValueInItsPlace) {
    EXPECT_EQ(FillIn("Device {1} has a {3}: {2}", {"7", "10.0.0.0", "network address"}),
              "Device 7 has a network address: 10.0.0.0");
    EXPECT_EQ(FillIn("{2}{1}{2}", {"a", "b"}), "bab");
    EXPECT_EQ(FillIn("{3} {0} {x} {1", {"a"}), "{3} {0} {x} {1") << "no such value: kept as it stands";
    EXPECT_EQ(FillIn("", {"a"}), "");
    EXPECT_TRUE(kEnglish.IsEnglish() && kEnglish.HasTexts() && !Language(3).HasTexts());
}

TEST(TextsTest, EveryTextIsPresentAndDiffersBetweenLanguagesWhereItShould) {
    const std::set<std::string> sameInBoth = {"windowTitle", "stateModifying", "stateUpgradeFailed",
                                              "columnHeaders11"};
    const auto chinese = AllTexts(1);
    const auto english = AllTexts(2);
    ASSERT_EQ(chinese.size(), english.size());
    for (size_t i = 0; i < chinese.size(); ++i) {
        const std::string& name = chinese[i].first;
        if (name == "columnHeaders11") {  // the hidden marker column has no header
            EXPECT_TRUE(chinese[i].second.empty());
            EXPECT_TRUE(english[i].second.empty());
            continue;
        }
        EXPECT_FALSE(chinese[i].second.empty()) << name;
        EXPECT_FALSE(english[i].second.empty()) << name;
        if (sameInBoth.count(name) == 0) {
            EXPECT_NE(chinese[i].second, english[i].second) << name;
            // English texts are ASCII except the edit types' "、"; Chinese ones never are.
            bool ascii = true;
            for (unsigned char c : english[i].second) ascii = ascii && c < 0x80;
            EXPECT_TRUE(ascii || name.starts_with("editTypes")) << name;
        }
    }
}

TEST(TextsTest, SpotChecksOfExactTexts) {
    const TextTable& zh = Texts(1);
    const TextTable& en = Texts(2);
    EXPECT_EQ(zh.stateNoSegment, "失败(没有该网段IP)");
    EXPECT_EQ(en.stateNoSegment, "Failure(not the segment IP)");
    EXPECT_EQ(zh.stateModifying, "修改...");
    EXPECT_EQ(en.stateUpgradeFailed, "失败");
    EXPECT_EQ(zh.msgFirstOctet[3], "备用服务器IP地址第1位是1~223之间");
    EXPECT_EQ(en.msgFirstOctet[0], "A first bit IP address is between 1~223");
    EXPECT_EQ(en.msgNoDeviceType, "Please select the type of device.");
    EXPECT_EQ(zh.octetLabels[3], "第4位( 范围(1~249) )");
    EXPECT_EQ(en.editTypes[2],
              "3\xE3\x80\x81"
              "4 do not change");
    EXPECT_EQ(en.modifyIPAfterRun, "Edit IP");
    EXPECT_EQ(en.columnHeaders[6], "gateway");
    EXPECT_EQ(TypeBoxCaption(*FindTypeBox(1046), 1), "天花音箱");
    EXPECT_EQ(TypeBoxCaption(*FindTypeBox(1049), 2), "Power management control card");
    EXPECT_EQ(en.noteLine.substr(0, 35), "The play terminal comprises: a play");
    EXPECT_TRUE(en.noteLine.ends_with("remote control controller network"));
    // The version is the product's (the repository's VERSION file), major.minor.
    EXPECT_TRUE(std::regex_match(About().text, std::regex("Ostrel，[0-9]+\\.[0-9]+ 版"))) << About().text;
    EXPECT_EQ(About().menuEntry, "关于 Ostrel(&A)...");
    EXPECT_EQ(en.menuAllowFirewall, "Allow through Windows Firewall...");
    // The firewall notes tell the operator where the entry is, by its own name.
    for (int language : {1, 2}) {
        const TextTable& t = Texts(language);
        EXPECT_NE(t.noteFirewallBlocked.find(t.menuAllowFirewall), std::string::npos) << language;
        EXPECT_NE(t.noteFirewallUncovered.find(t.menuAllowFirewall), std::string::npos) << language;
    }
}

TEST(TextsTest, ColumnWidthsPerLanguage) {
    const std::array<int, 12> chinese = {30, 32, 90, 120, 105, 105, 105, 105, 105, 75, 75, 0};
    const std::array<int, 12> english = {30, 45, 90, 120, 105, 105, 105, 115, 115, 90, 75, 0};
    EXPECT_EQ(Texts(1).columnWidths, chinese);
    EXPECT_EQ(Texts(2).columnWidths, english);
}

TEST(TextsTest, DeviceTypeNames) {
    const struct {
        int32_t code;
        const char* chinese;
        const char* english;
    } cases[] = {
        {51, "消防联动", "Fire linkage"},
        {6111, "电源管理控制卡", "Power Control Card"},
        {6113, "功放监听卡", "Mornitor Amplifier Card"},
        {6310, "未知设备", "Unknown device"},
        {6401, "播放终端", "Play terminal"},
        {7118, "噪感接口模块", "Noise interface module"},
        {0, "未知设备", "Unknown device"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceTypeName(c.code, 1), c.chinese) << c.code;
        EXPECT_EQ(DeviceTypeName(c.code, 2), c.english) << c.code;
        EXPECT_EQ(DeviceTypeName(c.code, 3), c.chinese) << c.code;
    }
}

}  // namespace
}  // namespace quillane
