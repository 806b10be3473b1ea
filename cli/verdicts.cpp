#include "verdicts.h"

namespace quillane::cli {

bool ChangeSucceeded(const RowState& state) {
    return state.status == RowStatus::kSucceeded;
}

std::string UpgradeVerdict(const RowState& state) {
    switch (state.status) {
        case RowStatus::kUpgraded:
            return {};
        case RowStatus::kNone:
            return "not upgraded: the run was stopped before this device";
        case RowStatus::kNotStarted:
            return "not started: the run reached its failure limit before this device";
        case RowStatus::kUpgrading:
            return state.percent < 0
                       ? "failed: the transfer did not finish (no block acknowledged)"
                       : "failed: the transfer did not finish (" + std::to_string(state.percent) + "%)";
        case RowStatus::kFailed:
            if (state.reason == FailureReason::kNoLocalSubnet)
                return "failed: no address of this workstation lies in its subnet";
            if (state.reason == FailureReason::kUpgradeTimedOut ||
                state.reason == FailureReason::kTransferCut)
                return "failed: the device did not load the file";
            break;
        case RowStatus::kWaiting:
        case RowStatus::kSucceeded:
            break;
    }
    return "failed: " + StableName(state);
}

}  // namespace quillane::cli
