#include "model/row_state.h"

#include "model/texts.h"

namespace quillane {

std::string_view StatusName(RowStatus status) {
    switch (status) {
        case RowStatus::kNone:
            return "";
        case RowStatus::kWaiting:
            return "waiting";
        case RowStatus::kSucceeded:
            return "succeeded";
        case RowStatus::kFailed:
            return "failed";
        case RowStatus::kUpgrading:
            return "upgrading";
        case RowStatus::kUpgraded:
            return "upgraded";
        case RowStatus::kNotStarted:
            return "not-started";
    }
    return "";
}

std::string_view ReasonName(FailureReason reason) {
    switch (reason) {
        case FailureReason::kNone:
            return "";
        case FailureReason::kDeviceRefused:
            return "device-refused";
        case FailureReason::kNoAnswer:
            return "no-answer";
        case FailureReason::kNotSingleHost:
            return "not-single-host";
        case FailureReason::kSharedGroupNumber:
            return "shared-group-number";
        case FailureReason::kNoLocalSubnet:
            return "no-local-subnet";
        case FailureReason::kUpgradeTimedOut:
            return "upgrade-timed-out";
        case FailureReason::kTransferCut:
            return "transfer-cut";
        case FailureReason::kSameNewAddress:
            return "same-new-address";
        case FailureReason::kAddressInUse:
            return "address-in-use";
        case FailureReason::kNotInPlan:
            return "not-in-plan";
        case FailureReason::kUnusableSetting:
            return "unusable-setting";
    }
    return "";
}

std::string StableName(const RowState& state) {
    std::string name(StatusName(state.status));
    if (state.status == RowStatus::kFailed) name += ":" + std::string(ReasonName(state.reason));
    if ((state.status == RowStatus::kUpgrading || state.status == RowStatus::kUpgraded) && state.percent >= 0)
        name += ":" + std::to_string(state.percent);
    return name;
}

namespace {

// The address change's outcomes are written only in the two languages.
std::optional<std::string> OutcomeText(const std::string& text, Language language) {
    if (!LanguageHasTexts(language)) return std::nullopt;
    return text;
}

std::string UpgradeText(int percent, Language language) {
    return percent < 0 ? Texts(language).stateUpgrading : std::to_string(percent) + "%";
}

}  // namespace

std::optional<std::string> StateText(const RowState& state, Language language) {
    const TextTable& texts = Texts(language);
    switch (state.status) {
        case RowStatus::kNone:
            return std::string();
        case RowStatus::kWaiting:
            return texts.stateModifying;
        case RowStatus::kSucceeded:
            return OutcomeText(texts.stateSuccess, language);
        case RowStatus::kUpgrading:
        case RowStatus::kUpgraded:
            return UpgradeText(state.percent, language);
        case RowStatus::kNotStarted:
            return OutcomeText(texts.stateNotStarted, language);
        case RowStatus::kFailed:
            break;
    }
    switch (state.reason) {
        case FailureReason::kNoLocalSubnet:
            return texts.stateNoSegment;
        case FailureReason::kUpgradeTimedOut:
        case FailureReason::kTransferCut:
            return texts.stateUpgradeFailed;
        case FailureReason::kNone:
        case FailureReason::kDeviceRefused:
        case FailureReason::kNoAnswer:
        case FailureReason::kNotSingleHost:
        case FailureReason::kSharedGroupNumber:
        case FailureReason::kSameNewAddress:
        case FailureReason::kAddressInUse:
        case FailureReason::kNotInPlan:
        case FailureReason::kUnusableSetting:
            break;
    }
    return OutcomeText(texts.stateFailure, language);
}

}  // namespace quillane
