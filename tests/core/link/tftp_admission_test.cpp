#include "link/tftp_admission.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

using namespace std::chrono_literals;

// A flood of refusals writes a few lines a second and a count for the rest,
// never a line per request.
TEST(RefusalLogTest, AFloodIsLoggedAsAFewLinesAndACountPerSecond) {
    RefusalLog log;
    const RefusalLog::Clock::time_point start{};
    int lines = 0;
    for (int i = 0; i < 25; ++i) lines += log.Refused(start + i * 10ms) ? 1 : 0;
    EXPECT_EQ(lines, int(RefusalLog::kLinesPerSecond));
    EXPECT_EQ(log.TakeSummary(start + 999ms), "");
    EXPECT_EQ(log.TakeSummary(start + 1000ms), "15 more requests refused");
    EXPECT_EQ(log.TakeSummary(start + 2000ms), "");
    EXPECT_TRUE(log.Refused(start + 5s));  // a new second writes its own lines again
    EXPECT_EQ(log.TakeSummary(start + 7s), "");
}

}  // namespace
}  // namespace quillane
