#include "upgrade_progress.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace quillane::cli;

TEST(CliUpgradeProgress, OneLineSetPerDeviceFromTheStateTexts) {
    std::ostringstream err;
    UpgradeProgress progress(err, {{0, "device 1  10.0.0.1"}, {2, "device 3  10.0.0.3"}}, "Upgrade...",
                             false);
    const std::pair<int, const char*> states[] = {
        {0, "Upgrade..."}, {0, "5%"},         {0, "12%"},
        {0, "100%"},       {1, "Upgrade..."},               // a row that was not chosen: not shown
        {2, "Upgrade..."}, {2, "31%"},        {2, "失败"},  // fails midway: its line ends there
        {2, "45%"},                                         // a late acknowledgement opens it again
    };
    for (const auto& [row, text] : states) progress.StateChanged(row, text);
    progress.Finish();
    EXPECT_EQ(err.str(),
              "device 1  10.0.0.1 10%\n"
              "device 1  10.0.0.1 100%\n"
              "device 3  10.0.0.3 30%\n"
              "device 3  10.0.0.3 40%\n");
}

TEST(CliUpgradeProgress, LiveLineOnATerminal) {
    std::ostringstream err;
    UpgradeProgress progress(err, {{4, "device 9"}}, "Upgrade...", true);
    for (const char* text : {"Upgrade...", "1%", "2%", "2%", "100%"}) progress.StateChanged(4, text);
    progress.Finish();
    EXPECT_EQ(err.str(), "\rdevice 9 0%\rdevice 9 1%\rdevice 9 2%\rdevice 9 100%\n");
}

TEST(CliUpgradeProgress, StatePercent) {
    EXPECT_EQ(StatePercent("0%"), 0);
    EXPECT_EQ(StatePercent("45%"), 45);
    EXPECT_EQ(StatePercent("100%"), 100);
    for (const char* text : {"", "%", "Upgrade...", "45", "-5%", "4 5%", "x%"})
        EXPECT_EQ(StatePercent(text), -1) << text;
}
