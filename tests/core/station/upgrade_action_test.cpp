#include <filesystem>

#include "model/control_ids.h"
#include "model/texts.h"
#include "testing/upgrade_run_fixture.h"

using namespace quillane;
using namespace quillane::test;

namespace {

using Message = RecordingView::Message;

class UpgradeActionTest : public UpgradeRunFixture {
protected:
    // Everything the run locks, with the Upgrade button that stays free.
    static constexpr int kLocked[] = {kIdStartIP,  kIdEndIP, kIdFindType,  kIdKeyboard, kIdFind,
                                      kIdModifyIP, kIdOpen,  kIdSelectAll, kIdCancel,   1028,
                                      1030,        1031,     1032,         1033,        1034,
                                      1035,        1046};
    static constexpr int kUntouched[] = {kIdUpgrade, kIdFilePath, 1048, 1049, 1050};
};

TEST_F(UpgradeActionTest, AMissingFileOrNoChosenDeviceIsReportedAndChangesNothing) {
    const std::string firmware = WriteFirmware();
    std::filesystem::create_directories(folder.File("folder.bin"));
    struct Case {
        std::string file;
        bool chosen;
        Message message;
    };
    const Case cases[] = {
        {"", true, {"The upgrade file does not exist", "Error"}},
        {folder.File("deleted.bin"), true, {"The upgrade file does not exist", "Error"}},
        {folder.File("folder.bin"), true, {"The upgrade file does not exist", "Error"}},
        {firmware, false, {"Please select the need to upgrade equipment", "Error"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        station.m_DeviceList.DeleteAllRows();
        AddRows({{"127.0.0.2", "255.255.255.0", c.chosen}});
        station.m_DeviceList.SetCell(0, kColState, "100%");
        station.SetUpdateFile(c.file);
        view.messages.clear();
        station.OnUpgrade();
        Loop();
        EXPECT_EQ(view.messages, std::vector<Message>{c.message});
        EXPECT_EQ(State(0), "100%") << "the state column keeps its texts";
        EXPECT_TRUE(RunEnded());
        EXPECT_TRUE(devices.Received(0).empty());
    }
}

// A device sent into its loader with nothing to answer it waits and fails: the
// press says what is wrong and sends nothing.
TEST_F(UpgradeActionTest, ThePreFlightRefusesWhatNoDeviceCouldLoad) {
    const std::string tooLong = folder.Dir() + std::string(130, 'a') + ".bin";
    folder.Write(tooLong.substr(folder.Dir().size()), "x");
    struct Case {
        const char* name;
        std::string file;
        bool stopTftp;
        std::string message;
    };
    const Case cases[] = {
        {"empty file", folder.Write("empty.bin", ""), false, "The firmware file is empty."},
        {"path too long", tooLong, false,
         "The firmware file's path is too long for the devices: " + std::to_string(tooLong.size()) +
             " bytes, at most 127. Move the file to a shorter path."},
        {"TFTP server not listening", WriteFirmware(), true,
         "The TFTP server is not running: UDP port 0 could not be opened."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        station.m_DeviceList.DeleteAllRows();
        AddRows({{"127.0.0.2", "255.255.255.0", true}});
        station.SetUpdateFile(c.file);
        if (c.stopTftp) station.m_pTftpServer->Stop();
        view.messages.clear();
        station.OnUpgrade();
        Loop();
        EXPECT_EQ(view.messages, (std::vector<Message>{{c.message, "Error"}}));
        EXPECT_EQ(State(0), "");
        EXPECT_TRUE(RunEnded());
        EXPECT_TRUE(devices.Received(0).empty());
    }
}

// The first chosen device in a subnet of the workstation starts the run;
// chosen devices before it outside every subnet are marked, those after it
// wait. Both languages.
TEST_F(UpgradeActionTest, TheFirstChosenDeviceInTheSubnetStartsTheRun) {
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        const TextTable& t = Texts(language);
        station.m_nLanguage = language;
        station.m_DeviceList.DeleteAllRows();
        station.SetUpdateFile(WriteFirmware());
        AddRows({{"127.0.0.4", "255.255.255.0", false}, {"127.0.1.5"}, {"127.0.0.2"}, {"127.0.0.3"}});
        station.m_DeviceList.SetCell(3, kColState, "100%");
        view.messages.clear();
        view.captions.clear();
        view.enabled_.clear();
        station.m_hLoopEvent.Reset();

        station.OnUpgrade();
        Loop();
        EXPECT_TRUE(view.messages.empty());
        EXPECT_EQ(State(0), "");
        EXPECT_EQ(State(1), t.stateNoSegment);
        EXPECT_EQ(State(2), t.stateUpgrading);
        EXPECT_EQ(State(3), "") << "cleared, waiting for its turn";
        EXPECT_EQ(CurrentRow(), 2);
        EXPECT_EQ(station.m_bUpgrading.load(), 1);
        EXPECT_EQ(station.m_bUpgradeContinue.load(), 1);
        EXPECT_EQ(station.m_dwUpgradeTick.load(), TickClock::Now());
        EXPECT_EQ(view.captions[kIdUpgrade], t.stop);
        for (int id : kLocked) EXPECT_FALSE(view.Enabled(id)) << id;
        for (int id : kUntouched) EXPECT_FALSE(view.enabled_.count(id)) << id;
        EXPECT_EQ(station.m_DeviceList.m_bSortEnabled.load(), 0);
        EXPECT_EQ(view.progress.load(), 0);
        EXPECT_TRUE(station.m_hLoopEvent.Wait(0)) << "the command loop starts watching at once";
        EXPECT_EQ(devices.Received(0), kThreeUpgradeCommands);
        EXPECT_TRUE(devices.Received(1).empty());
        EXPECT_TRUE(devices.Received(2).empty());
        EXPECT_TRUE(devices.Received(3).empty());

        station.m_bUpgrading = 0;
        station.m_bUpgradeContinue = 0;
    }
}

TEST_F(UpgradeActionTest, NoChosenDeviceInAnySubnetStartsNoRun) {
    station.SetUpdateFile(WriteFirmware());
    AddRows({{"127.0.1.5"}, {"127.0.0.2", "255.255.255.0", false}});
    station.OnUpgrade();
    Loop();
    EXPECT_EQ(State(0), "Failure(not the segment IP)");
    EXPECT_TRUE(RunEnded());
    EXPECT_TRUE(view.enabled_.empty());
    EXPECT_FALSE(view.captions.count(kIdUpgrade));
    EXPECT_TRUE(devices.Received(3).empty());
    EXPECT_TRUE(devices.Received(0).empty());

    station.m_queryLocalAddresses = [] { return LocalAddressLists{}; };  // no address of its own at all
    AddRows({{"127.0.0.3"}});
    station.OnUpgrade();
    Loop();
    EXPECT_EQ(State(2), "Failure(not the segment IP)");
    EXPECT_TRUE(RunEnded());
}

// During a run the button reads Stop: the first press quietly asks the run
// to end after the current device; a further press only shows the hint.
TEST_F(UpgradeActionTest, PressesDuringARunAskItToStop) {
    station.SetUpdateFile(WriteFirmware());
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}});
    station.OnUpgrade();
    Loop();
    ASSERT_EQ(station.m_bUpgrading.load(), 1);
    (void)devices.Received(0);

    station.OnUpgrade();
    Loop();
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(station.m_bUpgradeContinue.load(), 0);
    EXPECT_EQ(station.m_bUpgrading.load(), 1);
    EXPECT_EQ(view.captions[kIdUpgrade], "Stop");

    station.OnUpgrade();
    Loop();
    const Message hint{"The upgrade is complete the current device and then stop", "Hint"};
    EXPECT_EQ(view.messages, std::vector<Message>{hint});
    EXPECT_EQ(State(1), "");
    EXPECT_TRUE(devices.Received(0).empty());
    EXPECT_TRUE(devices.Received(1).empty());
    EXPECT_FALSE(station.Close()) << "the window stays while the run ends";
}

}  // namespace
