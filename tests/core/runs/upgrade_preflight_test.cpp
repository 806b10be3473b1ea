#include "runs/upgrade_preflight.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/temp_folder.h"

namespace quillane {
namespace {

using Kind = UpgradePreflightProblem::Kind;

class UpgradePreflight : public ::testing::Test {
protected:
    UpgradePreflightInput Input(const std::string& file) const {
        UpgradePreflightInput input;
        input.updateFile = file;
        return input;
    }
    test::TempFolder folder;
    const std::string image = folder.Write("fw.bin", std::string(1000, 'x'));
};

TEST_F(UpgradePreflight, PassesAReadableFileWithBothServicesListening) {
    EXPECT_EQ(CheckUpgradePreflight(Input(image)).kind, Kind::kNone);
}

TEST_F(UpgradePreflight, FileProblemsComeFirst) {
    std::filesystem::create_directory(folder.File("folder.bin"));
    const struct {
        std::string file;
        Kind kind;
    } cases[] = {
        {folder.Write("empty.bin", ""), Kind::kFileEmpty},
        {folder.File("missing.bin"), Kind::kFileUnreadable},
        {folder.File("folder.bin"), Kind::kFileUnreadable},
    };
    for (const auto& c : cases) {
        UpgradePreflightInput input = Input(c.file);
        input.bootService = BindFailure::InUse;
        EXPECT_EQ(CheckUpgradePreflight(input).kind, c.kind) << c.file;
    }
}

// The boot reply's file field has 128 bytes with the terminating zero.
TEST_F(UpgradePreflight, PathLengthLimitIsTheBootReplysFileField) {
    const std::string dir = folder.Dir();
    if (dir.size() > 100) GTEST_SKIP() << "the temporary folder's path leaves no room: " << dir;
    const std::string longest = dir + std::string(kLongestBootFilePath - dir.size() - 4, 'a') + ".bin";
    const std::string tooLong = dir + std::string(kLongestBootFilePath - dir.size() - 3, 'a') + ".bin";
    ASSERT_EQ(longest.size(), 127u);
    folder.Write(longest.substr(dir.size()), "x");
    folder.Write(tooLong.substr(dir.size()), "x");
    EXPECT_EQ(CheckUpgradePreflight(Input(longest)).kind, Kind::kNone);
    const UpgradePreflightProblem problem = CheckUpgradePreflight(Input(tooLong));
    EXPECT_EQ(problem.kind, Kind::kPathTooLong);
    EXPECT_EQ(problem.pathBytes, 128u);
    EXPECT_EQ(
        DescribePreflightProblem(problem, 2),
        "The firmware file's path is too long for the devices: 128 bytes, at most 127. Move the file to a "
        "shorter path.");
}

TEST_F(UpgradePreflight, ServicesThatDoNotListenNameTheirPortAndWhy) {
    UpgradePreflightInput input = Input(image);
    input.tftpService = BindFailure::InUse;
    UpgradePreflightProblem problem = CheckUpgradePreflight(input);
    EXPECT_EQ(problem.kind, Kind::kTftpService);
    EXPECT_EQ(DescribePreflightProblem(problem, 2),
              "The TFTP server is not running: UDP port 69 is already used by another program.");
    EXPECT_EQ(DescribePreflightProblem(problem, 1), "TFTP服务未运行：UDP端口69已被其他程序占用。");

    input.bootService = BindFailure::NotPermitted;
    problem = CheckUpgradePreflight(input);
    EXPECT_EQ(problem.kind, Kind::kBootService);
    EXPECT_EQ(DescribePreflightProblem(problem, 2),
              "The boot responder is not running: UDP port 67 needs administrator rights (root or the "
              "CAP_NET_BIND_SERVICE capability).");
    EXPECT_EQ(DescribePreflightProblem(problem, 0), "");
}

}  // namespace
}  // namespace quillane
