#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "support/helper_program.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

using test::TempFolder;

#ifndef _WIN32
// A stand-in keyboard that writes its arguments, and whether it inherited the
// descriptor named by its third argument, next to itself.
void WriteRecorder(const std::string& path) {
    std::ofstream(path) << "#!/bin/sh\n"
                           "if [ -e /proc/$$/fd/$3 ]; then fd=inherited; else fd=closed; fi\n"
                           "echo \"$1 $2 $fd\" > \"$0.out.tmp\" && mv \"$0.out.tmp\" \"$0.out\"\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

std::string WaitForFile(const std::string& path) {
    for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

TEST(HelperProgram, LooksInTheExecutableFolderThenOnThePath) {
    TempFolder app, onPath;
    setenv("PATH", onPath.Dir().c_str(), 1);
    EXPECT_EQ(FindHelperProgram(app.Dir(), "ScreenKeyBoard"), "");
    WriteRecorder(onPath.File("ScreenKeyBoard"));
    EXPECT_EQ(FindHelperProgram(app.Dir(), "ScreenKeyBoard"), onPath.Dir() + "/ScreenKeyBoard");
    app.Write("ScreenKeyBoard", "not executable");
    EXPECT_EQ(FindHelperProgram(app.Dir(), "ScreenKeyBoard"), onPath.Dir() + "/ScreenKeyBoard");
    WriteRecorder(app.File("ScreenKeyBoard"));
    EXPECT_EQ(FindHelperProgram(app.Dir(), "ScreenKeyBoard"), app.File("ScreenKeyBoard"));
}

TEST(HelperProgram, StartsDetachedWithItsArgumentsAndNoInheritedSockets) {
    TempFolder app;
    setenv("PATH", "/usr/bin:/bin", 1);
    WriteRecorder(app.File("ScreenKeyBoard"));
    const int socketFd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(socketFd, 3);
    EXPECT_TRUE(
        StartHelperProgram(app.Dir(), KeyboardCommandLine(455, 360) + " " + std::to_string(socketFd)));
    EXPECT_EQ(WaitForFile(app.File("ScreenKeyBoard.out")), "455 360 closed");
    close(socketFd);
}

TEST(HelperProgram, MissingProgramDoesNothing) {
    TempFolder app;
    setenv("PATH", app.Dir().c_str(), 1);
    EXPECT_FALSE(StartHelperProgram(app.Dir(), "ScreenKeyBoard 1 2"));
    EXPECT_FALSE(StartHelperProgram(app.Dir(), ""));
}

#else
// The stand-in keyboard above is a shell script that inspects /proc.
TEST(HelperProgram, LooksInTheExecutableFolderThenOnThePath) {
    GTEST_SKIP() << "Linux only: the stand-in helper is a shell script";
}
TEST(HelperProgram, StartsDetachedWithItsArgumentsAndNoInheritedSockets) {
    GTEST_SKIP() << "Linux only: the stand-in helper is a shell script reading /proc";
}
#endif

TEST(HelperProgram, KeyboardCommandLine) {
    EXPECT_EQ(KeyboardCommandLine(455, 360), std::string(kKeyboardProgram) + " 455 360");
    EXPECT_EQ(SplitCommandLine(" a  b c "), (std::vector<std::string>{"a", "b", "c"}));
}

}  // namespace
}  // namespace quillane
