#include "upgrade_progress.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace quillane;
using namespace quillane::cli;

namespace {

const RowState kStarted = RowState::Upgrading();
RowState Percent(int percent) {
    return RowState::Upgrading(percent);
}

}  // namespace

TEST(CliUpgradeProgress, OneLineSetPerDeviceFromTheStateValues) {
    std::ostringstream err;
    UpgradeProgress progress(err, {{0, "device 1  10.0.0.1"}, {2, "device 3  10.0.0.3"}}, false);
    const std::pair<int, RowState> states[] = {
        {0, kStarted},
        {0, Percent(5)},
        {0, Percent(12)},
        {0, Percent(100)},
        {0, RowState::Upgraded(100)},
        {1, kStarted},  // a row that was not chosen: not shown
        {2, kStarted},
        {2, Percent(31)},
        {2, RowState::Failed(FailureReason::kTransferCut)},  // fails midway: its line ends there
        {2, Percent(45)},                                    // a late acknowledgement opens it again
    };
    for (const auto& [row, state] : states) progress.StateChanged(row, state);
    progress.Finish();
    EXPECT_EQ(err.str(),
              "device 1  10.0.0.1 10%\n"
              "device 1  10.0.0.1 100%\n"
              "device 3  10.0.0.3 30%\n"
              "device 3  10.0.0.3 40%\n");
}

TEST(CliUpgradeProgress, LiveLineOnATerminal) {
    std::ostringstream err;
    UpgradeProgress progress(err, {{4, "device 9"}}, true);
    for (const RowState& state : {kStarted, Percent(1), Percent(2), Percent(2), Percent(100)})
        progress.StateChanged(4, state);
    progress.Finish();
    EXPECT_EQ(err.str(), "\rdevice 9 0%\rdevice 9 1%\rdevice 9 2%\rdevice 9 100%\n");
}
