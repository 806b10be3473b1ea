#include "station/station.h"

#include <gtest/gtest.h>

#include "model/control_ids.h"
#include "model/device_types.h"
#include "model/settings.h"
#include "support/helper_program.h"
#include "testing/recording_view.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

using test::RecordingView;
using test::TempFolder;
using Message = RecordingView::Message;

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

class StationTest : public ::testing::Test {
protected:
    std::unique_ptr<Station> Start(RecordingView& view) {
        auto station = std::make_unique<Station>(view, dir.Dir(), StationNetwork{.startServices = false});
        station->m_startHelperProgram = [this](const std::string& line) { started.push_back(line); };
        station->Initialise();
        return station;
    }
    void SetLanguage(int language) {
        dir.Write("Config.ini", "[LANGUAGE]\r\nCurLanguage=" + std::to_string(language) + "\r\n");
    }

    TempFolder dir;
    std::vector<std::string> started;
};

TEST_F(StationTest, FirstStartShowsDefaultsAndTheSecondStartTheStoredRange) {
    RecordingView first;
    auto station = Start(first);
    EXPECT_EQ(first.rangeStart, Ip(192, 168, 44, 1));
    EXPECT_EQ(first.rangeEnd, Ip(192, 168, 44, 250));
    EXPECT_EQ(first.findType, 0);
    EXPECT_FALSE(first.Enabled(kIdStartIP));
    EXPECT_FALSE(first.Enabled(kIdEndIP));
    EXPECT_FALSE(first.Enabled(kIdFilePath));
    EXPECT_EQ(first.captions[kIdFilePath], "");
    for (const DeviceType& type : kDeviceTypes) {
        EXPECT_TRUE(first.checks[type.boxId]) << type.boxId;
        EXPECT_EQ((station.get()->*type.flag).load(), 1);
    }
    EXPECT_EQ(first.progressRange, std::make_pair(0, 100));
    EXPECT_EQ(station->m_nLanguage.load(), 1);
    station.reset();

    RecordingView second;
    station = Start(second);
    EXPECT_EQ(second.rangeStart, Ip(192, 168, 40, 1));
    EXPECT_EQ(second.rangeEnd, Ip(192, 168, 40, 250));
}

TEST_F(StationTest, ChineseFaceUnlessTheLanguageIsTwo) {
    struct Case {
        std::string value;
        bool english;
    };
    for (const Case& c : {Case{"2", true}, Case{"1", false}, Case{"3", false}, Case{"0", false},
                          Case{"4", false}, Case{"abc", false}}) {
        dir.Write("Config.ini", "[LANGUAGE]\r\nCurLanguage=" + c.value + "\r\n");
        RecordingView view;
        auto station = Start(view);
        SCOPED_TRACE(c.value);
        EXPECT_EQ(view.captions[kIdMainWindow], "Quillane");
        if (c.english) {
            EXPECT_EQ(view.captions[kIdFind], "Find");
            EXPECT_EQ(view.captions[kIdModifyIP], "Modify IP");
            EXPECT_EQ(view.captions[kIdAmpMonitorDev], "Power amplifier monitor card");
            EXPECT_EQ(view.captions[kIdSmallPoxSoundBoxDev], "Sky box");
            EXPECT_EQ(view.headers[1], "Choice");
            EXPECT_EQ(view.widths[1], 45);
            EXPECT_EQ(view.findTypeItems[1], "Specified IP");
        } else {
            EXPECT_EQ(view.captions[kIdFind], "查找");
            EXPECT_EQ(view.captions[kIdModifyIP], "修改IP");
            EXPECT_EQ(view.captions[kIdAmpMonitorDev], "功放监听卡");
            EXPECT_EQ(view.captions[kIdSmallPoxSoundBoxDev], "天花音箱");
            EXPECT_EQ(view.headers[1], "选择");
            EXPECT_EQ(view.widths[1], 32);
            EXPECT_EQ(view.findTypeItems[1], "指定IP");
        }
        EXPECT_EQ(view.headers[11], "");
        EXPECT_EQ(view.widths[11], 0);
    }
}

TEST_F(StationTest, StoredChoicesComeBackAtTheNextStart) {
    {
        RecordingView view;
        auto station = Start(view);
        view.findType = 1;
        station->OnFindTypeChange();
        EXPECT_TRUE(view.Enabled(kIdStartIP));
        EXPECT_TRUE(view.Enabled(kIdEndIP));
        station->OnTypeFilterClick(kIdAmpMonitorDev);
        station->OnTypeFilterClick(kIdSmallPoxSoundBoxDev);
        view.fileAnswer = "/firmware/dev v2.bin";
        station->OnOpen();
        WriteRange(dir.Dir(), Ip(200, 1, 1, 1), Ip(200, 1, 1, 9));
    }
    RecordingView view;
    auto station = Start(view);
    EXPECT_EQ(view.findType, 1);
    EXPECT_TRUE(view.Enabled(kIdStartIP));
    EXPECT_EQ(view.rangeStart, Ip(200, 1, 1, 1));
    EXPECT_EQ(view.rangeEnd, Ip(200, 1, 1, 9));
    EXPECT_FALSE(view.checks[kIdAmpMonitorDev]);
    EXPECT_FALSE(view.checks[kIdSmallPoxSoundBoxDev]);
    EXPECT_TRUE(view.checks[kIdPowerManageDev]);
    EXPECT_EQ(station->m_bAmpMonitorDev.load(), 0);
    EXPECT_EQ(station->m_bPowerManageDev.load(), 1);
    EXPECT_EQ(view.captions[kIdFilePath], "/firmware/dev v2.bin");
    EXPECT_EQ(station->UpdateFile(), "/firmware/dev v2.bin");
}

TEST_F(StationTest, UnknownStoredFindTypeMeansAutoSearch) {
    {
        RecordingView view;
        Start(view);
    }
    WriteFindType(dir.Dir(), 5);
    RecordingView view;
    auto station = Start(view);
    EXPECT_EQ(view.findType, 0);
    EXPECT_FALSE(view.Enabled(kIdStartIP));
}

TEST_F(StationTest, FindChecksTheRangeOnlyForSpecifiedIpAndNeedsADeviceType) {
    struct Case {
        const char* name;
        int findType;
        uint32_t start, end;
        bool clearVisibleTypes, clearHiddenType;
        bool searches;
        std::string message;
    };
    const Case cases[] = {
        {"start above end", 1, Ip(192, 168, 1, 200), Ip(192, 168, 1, 10), false, false, false,
         "开始IP必需小于结束IP"},
        {"auto search ignores the range", 0, Ip(192, 168, 1, 200), Ip(192, 168, 1, 10), false, false, true,
         ""},
        {"one address", 1, Ip(10, 0, 0, 5), Ip(10, 0, 0, 5), false, false, true, ""},
        {"unsigned comparison", 1, Ip(10, 0, 0, 1), Ip(200, 0, 0, 1), false, false, true, ""},
        {"no selection walks the range unchecked", -1, Ip(10, 0, 0, 9), Ip(10, 0, 0, 1), false, false, true,
         ""},
        {"hidden type still counts", 0, 0, 0, true, false, true, ""},
        {"no type at all", 0, 0, 0, true, true, false, "请选择设备类型"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder fresh;
        RecordingView view;
        Station station(view, fresh.Dir(), StationNetwork{.startServices = false});
        station.Initialise();
        const MainSettings before = LoadOrCreateMainSettings(fresh.Dir());
        view.findType = c.findType;
        view.rangeStart = c.start;
        view.rangeEnd = c.end;
        for (const DeviceType& type : kDeviceTypes) {
            const bool hidden = type.boxId == kIdSmallPoxSoundBoxDev;
            if (hidden ? c.clearHiddenType : c.clearVisibleTypes) station.OnTypeFilterClick(type.boxId);
        }
        station.OnFind();
        EXPECT_EQ(station.m_bSearchRequest.load(), c.searches ? 1 : 0);
        EXPECT_EQ(station.m_hLoopEvent.Wait(0), c.searches);
        // The request carries the press's values; the range is stored at the press, before any walk.
        const std::optional<SearchRequest> request = station.TakeSearchRequest();
        ASSERT_EQ(request.has_value(), c.searches);
        const MainSettings stored = LoadOrCreateMainSettings(fresh.Dir());
        if (c.searches) {
            EXPECT_EQ(request->findType, c.findType);
            EXPECT_EQ(request->rangeStart, c.start);
            EXPECT_EQ(request->rangeEnd, c.end);
            EXPECT_EQ(stored.startIP, c.findType != 0 ? c.start : before.startIP);
            EXPECT_EQ(stored.endIP, c.findType != 0 ? c.end : before.endIP);
        } else {
            EXPECT_EQ(stored.startIP, before.startIP) << "a refused press stores nothing";
        }
        if (c.message.empty()) {
            EXPECT_TRUE(view.messages.empty());
        } else {
            EXPECT_EQ(view.messages, (std::vector<Message>{{c.message, "错误"}}));
        }
    }
}

TEST_F(StationTest, EnglishFindMessages) {
    SetLanguage(2);
    RecordingView view;
    auto station = Start(view);
    view.findType = 1;
    view.rangeStart = Ip(10, 0, 0, 9);
    view.rangeEnd = Ip(10, 0, 0, 1);
    station->OnFind();
    view.findType = 0;
    for (const DeviceType& type : kDeviceTypes) station->OnTypeFilterClick(type.boxId);
    station->OnFind();
    EXPECT_EQ(view.messages, (std::vector<Message>{{"Start IP must be less than the end of IP", "Error"},
                                                   {"Please select the type of device.", "Error"}}));
    EXPECT_EQ(station->m_bSearchRequest.load(), 0);
}

TEST_F(StationTest, TypeFilterClickInvertsTheFlagAndStoresIt) {
    RecordingView view;
    auto station = Start(view);
    station->m_bPowerManageDev = 5;  // any non-zero value lists the type
    station->OnTypeFilterClick(kIdPowerManageDev);
    EXPECT_EQ(station->m_bPowerManageDev.load(), 0);
    EXPECT_EQ(LoadOrCreateMainSettings(dir.Dir()).filters[8], 0);  // bPowerManageDev
    station->OnTypeFilterClick(kIdPowerManageDev);
    EXPECT_EQ(station->m_bPowerManageDev.load(), 1);
    EXPECT_EQ(LoadOrCreateMainSettings(dir.Dir()).filters[8], 1);

    station->OnTypeFilterClick(kIdAmpMonitorDev);
    EXPECT_EQ(station->m_bAmpMonitorDev.load(), 0);
    EXPECT_EQ(station->m_bPowerManageDev.load(), 1);
    EXPECT_EQ(LoadOrCreateMainSettings(dir.Dir()).filters[9], 0);  // bAmpMonitorDev

    auto flags = [&] {
        std::vector<int> values;
        for (const DeviceType& type : kDeviceTypes) values.push_back((station.get()->*type.flag).load());
        return values;
    };
    const std::vector<int> before = flags();
    station->OnTypeFilterClick(kIdFind);  // not a type box
    EXPECT_EQ(flags(), before);
}

TEST_F(StationTest, OpenStoresTheChosenFileAndCancelKeepsThePrevious) {
    RecordingView view;
    auto station = Start(view);
    view.fileAnswer = "/media/固件/amp.bin";
    station->OnOpen();
    EXPECT_EQ(view.fileFilter, "(*.bin)|*.bin|bin");
    EXPECT_EQ(station->UpdateFile(), "/media/固件/amp.bin");
    EXPECT_EQ(view.captions[kIdFilePath], "/media/固件/amp.bin");
    EXPECT_EQ(LoadOrCreateMainSettings(dir.Dir()).updateFile, "/media/固件/amp.bin");

    view.fileAnswer.reset();
    view.captions.clear();
    station->OnOpen();
    EXPECT_EQ(station->UpdateFile(), "/media/固件/amp.bin");
    EXPECT_EQ(view.captions.count(kIdFilePath), 0u);
    EXPECT_EQ(LoadOrCreateMainSettings(dir.Dir()).updateFile, "/media/固件/amp.bin");
}

TEST_F(StationTest, KeyboardOpensBelowTheEndAddress) {
    RecordingView view;
    auto station = Start(view);
    view.rects[kIdEndIP] = ScreenRect{400, 300, 580, 330};
    station->OnKeyboard();
    EXPECT_EQ(started, std::vector<std::string>{std::string(kKeyboardProgram) + " 455 360"});
}

TEST_F(StationTest, CloseIsRefusedWhileAnUpgradeRuns) {
    struct Case {
        int language, upgrading, upgradeContinue;
        bool closes;
        std::vector<Message> messages;
    };
    const Case cases[] = {
        {1, 1, 1, false, {{"升级完成再关闭", "提示"}}},
        {2, 1, 0, false, {{"The upgrade is complete the close", "Hint"}}},
        {1, 0, 1, false, {{"升级完成再关闭", "提示"}}},
        {1, 0, 0, true, {}},
    };
    for (const Case& c : cases) {
        SetLanguage(c.language);
        RecordingView view;
        auto station = Start(view);
        station->m_bUpgrading = c.upgrading;
        station->m_bUpgradeContinue = c.upgradeContinue;
        station->m_bModifyRequest = 1;  // a running address change never prevents closing
        EXPECT_EQ(station->Close(), c.closes);
        EXPECT_EQ(view.messages, c.messages);
    }
}

class TableActionsTest : public StationTest {
protected:
    void SetUp() override {
        station = Start(view);
        for (int i = 0; i < 3; ++i) station->m_DeviceList.AppendRow();
    }
    std::vector<std::string> Marks() const {
        std::vector<std::string> marks;
        for (int r = 0; r < station->m_DeviceList.RowCount(); ++r)
            marks.push_back(station->m_DeviceList.Cell(r, kColChoice));
        return marks;
    }
    RecordingView view;
    std::unique_ptr<Station> station;
    const std::string v = kCheckMark;
};

TEST_F(TableActionsTest, ClickTogglesTheFirstSelectedRowUnlessAnUpgradeRuns) {
    station->OnTableClick(1);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"", v, ""}));
    station->OnTableClick(1);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"", "", ""}));
    station->OnTableClick(-1);
    station->OnTableClick(7);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"", "", ""}));

    station->m_DeviceList.SetCell(2, kColChoice, "x");  // anything but the mark counts as not chosen
    station->OnTableClick(2);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"", "", v}));

    station->m_bUpgrading = 1;
    station->OnTableClick(0);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"", "", v}));
    station->m_bUpgrading = 0;
    station->m_bModifyRequest = 1;
    station->m_bModifyContinue = 1;
    station->OnTableClick(0);
    EXPECT_EQ(Marks(), (std::vector<std::string>{v, "", v}));
}

TEST_F(TableActionsTest, SelectAllAndCancelMarkEveryRow) {
    station->OnTableClick(1);
    station->OnSelectAll();
    EXPECT_EQ(Marks(), (std::vector<std::string>{v, v, v}));
    station->OnCancel();
    EXPECT_EQ(Marks(), (std::vector<std::string>{"", "", ""}));
}

// A front end names devices: their rows are checked (never unchecked), the
// numbers no row holds come back, and an upgrade run freezes the choice.
TEST_F(TableActionsTest, ChooseRowsChecksTheNamedDevicesAndReportsTheMissing) {
    const char* numbers[] = {"11", "22", "33"};
    for (int r = 0; r < 3; ++r) station->m_DeviceList.SetCell(r, kColDeviceNo, numbers[r]);
    station->OnTableClick(0);

    ChosenDevices chosen = station->ChooseRows({false, {33, 44, 11}});
    EXPECT_EQ(Marks(), (std::vector<std::string>{v, "", v}));
    EXPECT_EQ(chosen.chosen, (std::vector<int32_t>{11, 33}));  // table order
    EXPECT_EQ(chosen.missing, (std::vector<int32_t>{44}));

    station->m_bUpgrading = 1;
    chosen = station->ChooseRows({true, {}});
    EXPECT_EQ(Marks(), (std::vector<std::string>{v, "", v}));
    EXPECT_EQ(chosen.chosen, (std::vector<int32_t>{11, 33}));
    station->m_bUpgrading = 0;

    chosen = station->ChooseRows({true, {44}});  // all: the numbers do not matter
    EXPECT_EQ(Marks(), (std::vector<std::string>{v, v, v}));
    EXPECT_EQ(chosen.chosen, (std::vector<int32_t>{11, 22, 33}));
    EXPECT_TRUE(chosen.missing.empty());
}

}  // namespace
}  // namespace quillane
