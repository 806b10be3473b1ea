// The upgrade run as the command loop moves it: sequences of events (the
// press, boot requests, transfer reports, silence on the fake clock, Stop)
// and what each sequence leaves: the rows' texts, every value the progress
// bar was given, and the controls given back exactly once.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/boot_responder.h"
#include "runs/upgrade_step.h"
#include "testing/upgrade_run_fixture.h"

using namespace quillane;
using namespace quillane::test;

namespace {

// Steps of a sequence. Rows 0, 1, 2 hold the devices 127.0.0.2, .3, .4.
struct Press {};          // Upgrade pressed, the loop takes the start
struct Stop {};           // Upgrade pressed during the run
struct PressThenStop {};  // both presses before the loop's turn
// A loader's boot request, by the hardware address it carries: the one of
// the device of row `from` (kRowMac(from)), a stranger's, or none.
inline constexpr int kNoHardware = -2;
inline constexpr int kStranger = -1;
inline constexpr int kOtherStranger = -3;
struct Boot {
    int from = kNoHardware;
};
struct Block {  // the device of `row` acknowledged up to `percent`
    int row;
    int percent;
};
struct End {  // the transfer of `row` ended
    int row;
    bool delivered;
};
struct Silence {  // the clock moves on, then the loop's step
    uint32_t ms;
};
using Step = std::variant<Press, Stop, PressThenStop, Boot, Block, End, Silence>;

struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> texts;  // the rows' State cells afterwards
    std::vector<int> progress;       // every value the bar was given, in order
    bool ended;                      // the run gave the controls back (then exactly once)
    UpgradePhase phase;              // the device slot's phase afterwards
};

std::string Address(int row) {
    return "127.0.0." + std::to_string(row + 2);
}

// The hardware address of the device of `row`; strangers have their own.
HardwareAddress Mac(int row) {
    return {0x02, 0x51, 0, 0, static_cast<uint8_t>(row < 0 ? 0xEE : 0), static_cast<uint8_t>(row & 0xFF)};
}

class UpgradeRunTest : public UpgradeRunFixture {
protected:
    void Do(const Step& step) {
        if (std::holds_alternative<Press>(step)) {
            station.OnUpgrade();
        } else if (std::holds_alternative<Stop>(step)) {
            station.OnUpgrade();
        } else if (std::holds_alternative<PressThenStop>(step)) {
            station.OnUpgrade();
            station.OnUpgrade();
        } else if (const auto* boot = std::get_if<Boot>(&step)) {
            std::vector<uint8_t> request(kBootPacketSize, 0);
            request[0] = 1;
            if (boot->from != kNoHardware) {
                request[1] = 1;  // Ethernet
                request[2] = 6;
                const HardwareAddress mac = Mac(boot->from);
                std::copy(mac.begin(), mac.end(), request.begin() + 28);
            }
            OnBootRequest(nullptr, request.data(), static_cast<int>(request.size()), &station);
        } else if (const auto* block = std::get_if<Block>(&step)) {
            station.TransferProgressed(
                MakeAddress(ParseIPv4(Address(block->row)), 1234),
                TransferDelivery{static_cast<uint32_t>(block->percent), 512, 100 * 512});
        } else if (const auto* end = std::get_if<End>(&step)) {
            station.TransferFinished(MakeAddress(ParseIPv4(Address(end->row)), 1234), end->delivered);
        } else if (const auto* silence = std::get_if<Silence>(&step)) {
            TickClock::Advance(silence->ms);
            UpgradeStep(station);
        }
        Loop();
    }
    int ControlsGivenBack() const {
        int count = 0;
        for (const std::string& caption : view.CaptionsOf(kIdUpgrade)) count += caption == Texts(2).upgrade;
        return count;
    }
};

TEST_F(UpgradeRunTest, EventSequencesMoveTheRunAsTheDesignPaces) {
    const std::string upgrading = Texts(2).stateUpgrading;
    const std::string timedOut = *StateText(RowState::Failed(FailureReason::kUpgradeTimedOut), 2);
    const std::string cut = *StateText(RowState::Failed(FailureReason::kTransferCut), 2);
    using P = UpgradePhase;
    const Case cases[] = {
        {"each device in turn",
         {Press{}, Boot{}, Block{0, 50}, Block{0, 100}, End{0, true}, Boot{}, Block{1, 100}, End{1, true},
          Block{2, 100}, End{2, true}},
         {"100%", "100%", "100%"},
         {0, 50, 100, 0, 100, 0, 100, 0},
         true,
         P::kNone},
        {"the phases of the current device", {Press{}}, {upgrading, "", ""}, {0}, false, P::kCommandSent},
        {"a boot request answered for the current device",
         {Press{}, Boot{}},
         {upgrading, "", ""},
         {0},
         false,
         P::kBootAnswered},
        {"its blocks", {Press{}, Boot{}, Block{0, 30}}, {"30%", "", ""}, {0, 30}, false, P::kTransferring},
        {"exactly 10 s of silence is not yet too long",
         {Press{}, Silence{10000}},
         {upgrading, "", ""},
         {0},
         false,
         P::kCommandSent},
        {"a boot request after the time-out names the next device",
         {Press{}, Silence{10001}, Boot{}},
         {timedOut, upgrading, ""},
         {0, 0},
         false,
         P::kBootAnswered},
        {"a boot request before the time-out, silence after it",
         {Press{}, Boot{}, Silence{10001}},
         {timedOut, upgrading, ""},
         {0, 0},
         false,
         P::kCommandSent},
        {"a block holds the time-out off",
         {Press{}, Silence{9000}, Block{0, 10}, Silence{9000}},
         {"10%", "", ""},
         {0, 10},
         false,
         P::kTransferring},
        {"a transfer ending for a device no longer current",
         {Press{}, Block{0, 40}, Silence{10001}, End{0, true}, Block{0, 60}},
         {"60%", upgrading, ""},
         {0, 40, 0},
         false,
         P::kCommandSent},
        {"a cut transfer fails its device and the run goes on",
         {Press{}, Block{0, 40}, End{0, false}},
         {cut, upgrading, ""},
         {0, 40, 0},
         false,
         P::kCommandSent},
        {"Stop before the loop took the start",
         {PressThenStop{}, End{0, true}},
         {upgrading, "", ""},
         {0, 0},
         true,
         P::kNone},
        {"Stop while the command is out",
         {Press{}, Stop{}, Silence{10001}},
         {timedOut, "", ""},
         {0, 0},
         true,
         P::kNone},
        {"Stop after the boot reply",
         {Press{}, Boot{}, Stop{}, End{0, true}},
         {upgrading, "", ""},
         {0, 0},
         true,
         P::kNone},
        {"Stop while transferring",
         {Press{}, Block{0, 70}, Stop{}, Block{0, 100}, End{0, true}},
         {"100%", "", ""},
         {0, 70, 100, 0},
         true,
         P::kNone},
        {"Stop, then the transfer is cut",
         {Press{}, Block{0, 70}, Stop{}, End{0, false}},
         {cut, "", ""},
         {0, 70, 0},
         true,
         P::kNone},
        {"late reports after the run",
         {Press{}, Stop{}, Block{0, 100}, End{0, true}, Block{0, 100}, End{0, true}, Boot{}, Silence{20000}},
         {"100%", "", ""},
         {0, 100, 0},
         true,
         P::kNone},
    };
    station.SetUpdateFile(WriteFirmware());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        station.m_DeviceList.DeleteAllRows();
        AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}});
        view.progressHistory.clear();
        view.captionLog.clear();
        const int endsBefore = RunsEnded();
        for (const Step& step : c.steps) Do(step);
        std::vector<std::string> texts;
        for (int row = 0; row < 3; ++row) texts.push_back(State(row));
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(view.progressHistory, c.progress);
        EXPECT_EQ(station.m_upgradePhase.load(), c.phase);
        EXPECT_EQ(RunEnded(), c.ended);
        EXPECT_EQ(ControlsGivenBack(), c.ended ? 1 : 0);
        EXPECT_EQ(RunsEnded() - endsBefore, c.ended ? 1 : 0);
        if (!c.ended) {  // end the run for the next case, as the services' stop does
            station.m_bUpgradeContinue = 0;
            EndUpgradeRun(station);
        }
        for (size_t i = 0; i < 3; ++i) (void)devices.Received(i, 0);
    }
}

// Commands go to each device as its turn comes, three at a time, and never
// to a device the run does not reach.
TEST_F(UpgradeRunTest, TheCommandGoesToEachDeviceAsItsTurnComes) {
    station.SetUpdateFile(WriteFirmware());
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}});
    Do(Press{});
    EXPECT_EQ(devices.Received(0), kThreeUpgradeCommands);
    EXPECT_TRUE(devices.Received(1).empty());
    Do(Silence{10001});
    EXPECT_EQ(devices.Received(1), kThreeUpgradeCommands);
    Do(Stop{});
    Do(End{1, true});
    EXPECT_TRUE(RunEnded());
    EXPECT_TRUE(devices.Received(2).empty());
}

// Several devices at once. The boot replies go to 127.0.0.1 on the devices'
// port, where this test listens.
class SeveralAtOnceTest : public UpgradeRunTest {
protected:
    void SetUp() override {
        UpgradeRunTest::SetUp();
        if (IsSkipped()) return;
        m_replies = UdpSocketCreate();
        ASSERT_TRUE(SocketBind(m_replies, ParseIPv4("127.0.0.1"), devices.Port()));
    }
    void TearDown() override {
        SocketClose(m_replies);
        UpgradeRunTest::TearDown();
    }
    // The rows whose addresses the boot replies gave, in order (-1: another address).
    std::vector<int> Answers() {
        std::vector<int> rows;
        uint8_t buffer[512];
        while (SocketWaitReadable(m_replies, 20) == 1) {
            const int n = SocketReceiveFrom(m_replies, buffer, sizeof buffer, nullptr);
            if (n != static_cast<int>(kBootPacketSize)) continue;
            uint32_t yiaddr;
            std::memcpy(&yiaddr, buffer + kBootYiaddrOffset, 4);
            int row = -1;
            for (int r = 0; r < 4; ++r)
                if (ParseIPv4(Address(r)) == yiaddr) row = r;
            rows.push_back(row);
        }
        return rows;
    }
    SocketHandle m_replies = kInvalidSocket;
};

struct SlotsCase {
    const char* what;
    int parallel;
    int maxFailures;
    std::vector<int> known;  // rows whose hardware address the neighbour table gives
    std::vector<Step> steps;
    std::vector<std::string> texts;  // the four rows' State cells afterwards
    std::vector<int> answers;        // the rows the boot replies named, in order
    bool ended;
};

TEST_F(SeveralAtOnceTest, SlotsMoveTheRunAndBootAnswersGoToTheAskingDevice) {
    const std::string up = Texts(2).stateUpgrading;
    const std::string failed = *StateText(RowState::Failed(FailureReason::kUpgradeTimedOut), 2);
    const std::string notStarted = Texts(2).stateNotStarted;
    const std::vector<int> all = {0, 1, 2, 3};
    const SlotsCase cases[] = {
        {"slots freed by success, failure and time-out",
         2,
         0,
         all,
         {Press{}, Block{0, 100}, End{0, true}, Block{1, 30}, End{1, false}, Silence{10001}},
         {"100%", failed, failed, failed},
         {},
         true},
        {"each device its own silence: a block of one does not hold off the other",
         2,
         0,
         all,
         {Press{}, Silence{6000}, Block{1, 20}, Silence{4001}, Block{1, 40}},
         {failed, "40%", up, ""},
         {},
         false},
        {"Stop with devices in flight: no new device, those in flight finish or time out",
         2,
         0,
         all,
         {Press{}, Block{0, 40}, Stop{}, Block{0, 100}, End{0, true}, Silence{10001}},
         {"100%", failed, "", ""},
         {},
         true},
        {"the failure limit: no new device, the rest not started",
         2,
         1,
         all,
         {Press{}, End{0, false}, Block{1, 100}, End{1, true}},
         {failed, "100%", notStarted, notStarted},
         {},
         true},
        {"the failure limit one after another",
         1,
         2,
         all,
         {Press{}, Silence{10001}, Silence{10001}},
         {failed, failed, notStarted, notStarted},
         {},
         true},
        {"a late boot request of a timed-out device gets its own address, its row its late result",
         2,
         0,
         all,
         {Press{}, Silence{10001}, Boot{0}, Boot{2}, Block{0, 50}, End{0, true}},
         {"100%", failed, up, up},
         {0, 2},
         false},
        {"one after another, a late device gets its own address, not the current one's",
         1,
         0,
         all,
         {Press{}, Silence{10001}, Boot{0}, Boot{1}},
         {failed, up, "", ""},
         {0, 1},
         false},
        {"two boot requests in one millisecond, each its own answer",
         2,
         0,
         all,
         {Press{}, Boot{1}, Boot{0}, Boot{1}},
         {up, up, "", ""},
         {1, 0, 1},
         false},
        {"several at once: a stranger or a request without hardware address gets no answer",
         2,
         0,
         all,
         {Press{}, Boot{kStranger}, Boot{kNoHardware}, Boot{1}},
         {up, up, "", ""},
         {1},
         false},
        {"one after another: a stranger gets the current address until it was answered, then none",
         1,
         0,
         all,
         {Press{}, Boot{kStranger}, Boot{kOtherStranger}, Boot{0}, End{0, true}, Boot{kOtherStranger}},
         {up, up, "", ""},
         {0, 0, 1},
         false},
        {"one after another: once the current device was answered, a stranger waits for the next command",
         1,
         0,
         all,
         {Press{}, Boot{0}, Boot{kStranger}},
         {up, "", "", ""},
         {0},
         false},
        {"several at once: a device of unknown hardware address goes alone until its loader asks",
         2,
         0,
         {1, 2, 3},
         {Press{}, Boot{kStranger}, Boot{kOtherStranger}, Boot{kStranger}},
         {up, up, "", ""},
         {0, 0},
         false},
        {"several at once: a device of unknown hardware address holds back the next",
         3,
         0,
         {0, 2, 3},
         {Press{}, Block{0, 100}, End{0, true}},
         {"100%", up, "", ""},
         {},
         false},
    };
    station.SetUpdateFile(WriteFirmware());
    for (const SlotsCase& c : cases) {
        SCOPED_TRACE(c.what);
        station.m_DeviceList.DeleteAllRows();
        AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}, {"127.0.0.5"}});
        neighbours.clear();
        for (int row : c.known) neighbours[Address(row)] = Mac(row);
        station.m_upgradeParallel = c.parallel;
        station.m_upgradeMaxFailures = c.maxFailures;
        view.captionLog.clear();
        const int endsBefore = RunsEnded();
        for (const Step& step : c.steps) Do(step);
        std::vector<std::string> texts;
        for (int row = 0; row < 4; ++row) texts.push_back(State(row));
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(Answers(), c.answers);
        EXPECT_EQ(RunEnded(), c.ended);
        EXPECT_EQ(ControlsGivenBack(), c.ended ? 1 : 0);
        EXPECT_EQ(RunsEnded() - endsBefore, c.ended ? 1 : 0);
        if (!c.ended) {
            station.m_bUpgradeContinue = 0;
            EndUpgradeRun(station);
        }
        for (size_t i = 0; i < 4; ++i) (void)devices.Received(i, 0);
    }
}

// The bar shows the run: devices done plus the shares of those in flight.
// The note line says how many go at once, then names the first unanswered
// request; closing is refused while a device is in flight after Stop.
TEST_F(SeveralAtOnceTest, TheBarTheNoteLineAndClosingFollowTheRun) {
    // A TFTP server with its log folder: the log counts the unanswered requests.
    std::filesystem::create_directory(folder.File("log"));
    station.m_pTftpServer->Stop();
    station.m_pTftpServer = std::make_unique<TftpServer>();
    TftpServerSettings tftp;
    tftp.listenPort = 0;
    tftp.listenAddress = htonl(INADDR_LOOPBACK);
    tftp.executablePath = folder.File("quillane");
    ASSERT_TRUE(station.m_pTftpServer->Start(tftp));
    station.SetUpdateFile(WriteFirmware());
    AddRows({{"127.0.0.2"}, {"127.0.0.3"}, {"127.0.0.4"}, {"127.0.0.5"}});
    for (int row = 0; row < 4; ++row) neighbours[Address(row)] = Mac(row);
    station.m_upgradeParallel = 2;
    Do(Press{});
    EXPECT_EQ(view.Caption(kIdNoteLine), "Upgrading 2 devices at a time");
    Do(Block{0, 50});
    Do(Block{1, 50});
    Do(End{0, true});
    Do(Boot{kStranger});
    Do(Boot{kOtherStranger});
    EXPECT_EQ(view.Caption(kIdNoteLine), "Boot request from " + HardwareAddressText(Mac(kStranger)) +
                                             " not answered: it belongs to no device of this upgrade run");
    Do(Stop{});
    EXPECT_FALSE(station.Close()) << "device 1 is still in flight";
    Do(Block{1, 100});
    Do(End{1, true});
    EXPECT_FALSE(RunEnded()) << "device 2, begun when device 0 was done, is in flight";
    EXPECT_EQ(State(3), "") << "none begins after Stop";
    Do(Silence{10001});
    EXPECT_TRUE(RunEnded());
    // 0 at the start; a quarter per device: two halves (12, 25), device 0
    // done (37), device 1 done (50), device 2 timed out (75); 0 at the end.
    EXPECT_EQ(view.progressHistory, (std::vector<int>{0, 12, 25, 37, 50, 75, 0}));
    EXPECT_EQ(view.Caption(kIdNoteLine), "Boot request from " + HardwareAddressText(Mac(kStranger)) +
                                             " not answered: it belongs to no device of this upgrade run")
        << "the named request stays after the run";
    std::string logged;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("log")))
        logged += ReadBytes(entry.path().string());
    EXPECT_NE(logged.find("Upgrade run: 2 boot request(s) not answered"), std::string::npos) << logged;
}

}  // namespace
