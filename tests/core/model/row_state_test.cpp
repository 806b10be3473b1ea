#include "model/row_state.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillane;

namespace {

const RowState kEveryState[] = {
    RowState{},
    RowState::Waiting(),
    RowState::Succeeded(),
    RowState::Failed(FailureReason::kDeviceRefused),
    RowState::Failed(FailureReason::kNoAnswer),
    RowState::Failed(FailureReason::kNotSingleHost),
    RowState::Failed(FailureReason::kSharedGroupNumber),
    RowState::Failed(FailureReason::kNoLocalSubnet),
    RowState::Failed(FailureReason::kUpgradeTimedOut),
    RowState::Failed(FailureReason::kTransferCut),
    RowState::Upgrading(),
    RowState::Upgrading(45),
    RowState::Upgraded(100),
    RowState::NotStarted(),
};

// The State column's texts, made from the values: the address change's
// outcomes in the window's language (none written in any other), the marks
// that read the same in both, the upgrade's percentage.
TEST(RowStateText, EachValueGivesTheWindowsTextInItsLanguage) {
    struct Case {
        RowState state;
        const char* chinese;
        const char* english;
        const char* otherLanguage;  // null: no text written
    };
    const Case cases[] = {
        {RowState{}, "", "", ""},
        {RowState::Waiting(), "修改...", "修改...", "修改..."},
        {RowState::Succeeded(), "成功", "Success", nullptr},
        {RowState::Failed(FailureReason::kDeviceRefused), "失败", "Failure", nullptr},
        {RowState::Failed(FailureReason::kNoAnswer), "失败", "Failure", nullptr},
        {RowState::Failed(FailureReason::kNotSingleHost), "失败", "Failure", nullptr},
        {RowState::Failed(FailureReason::kSharedGroupNumber), "失败", "Failure", nullptr},
        {RowState::Failed(FailureReason::kNoLocalSubnet), "失败(没有该网段IP)", "Failure(not the segment IP)",
         "失败(没有该网段IP)"},
        {RowState::Failed(FailureReason::kUpgradeTimedOut), "失败", "失败", "失败"},
        {RowState::Failed(FailureReason::kTransferCut), "失败", "失败", "失败"},
        {RowState::Upgrading(), "升级中...", "Upgrade...", "升级中..."},
        {RowState::Upgrading(45), "45%", "45%", "45%"},
        {RowState::Upgraded(100), "100%", "100%", "100%"},
        {RowState::NotStarted(), "未开始", "not started", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StableName(c.state));
        EXPECT_EQ(StateText(c.state, 1), c.chinese);
        EXPECT_EQ(StateText(c.state, 2), c.english);
        for (int language : {0, 3}) {
            const auto text = StateText(c.state, language);
            EXPECT_EQ(text.has_value(), c.otherLanguage != nullptr) << language;
            if (text && c.otherLanguage) {
                EXPECT_EQ(*text, c.otherLanguage) << language;
            }
        }
    }
}

// Scripts read these names: each value has its own, and they hold no text of
// either language.
TEST(RowStateName, StableNamesAreDistinctAndPlain) {
    std::set<std::string> names;
    for (const RowState& state : kEveryState) {
        const std::string name = StableName(state);
        EXPECT_TRUE(names.insert(name).second) << name;
        for (char c : name)
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ':') << name;
    }
    EXPECT_EQ(StableName(RowState::Failed(FailureReason::kNoAnswer)), "failed:no-answer");
    EXPECT_EQ(StableName(RowState::Upgrading(45)), "upgrading:45");
    EXPECT_EQ(StableName(RowState::Upgrading()), "upgrading");
    EXPECT_EQ(StableName(RowState{}), "");
    EXPECT_EQ(StableName(RowState::NotStarted()), "not-started");
    EXPECT_TRUE(RowState::Failed(FailureReason::kNoAnswer).TimedOut());
    EXPECT_TRUE(RowState::Failed(FailureReason::kUpgradeTimedOut).TimedOut());
    EXPECT_FALSE(RowState::Failed(FailureReason::kDeviceRefused).TimedOut());
}

}  // namespace
