#pragma once

// What a row's State column means, kept by the device table beside the text:
// waiting for an address change's answer, its success, a failure and why,
// an upgrade with its percentage, the whole file delivered. The text is made
// from it in the window's language (StateText); programs read the value, and
// scripts get its stable name.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/language.h"

namespace quillane {

enum class RowStatus : uint8_t {
    kNone,        // nothing done to the device yet (empty text)
    kWaiting,     // an address-change command is out; its answer is awaited
    kSucceeded,   // the device confirmed the address change
    kFailed,      // see the reason
    kUpgrading,   // the upgrade command is out; with a percentage once blocks are acknowledged
    kUpgraded,    // the device acknowledged the whole firmware file
    kNotStarted,  // the upgrade run ended (its failure limit) before this device's turn
};
inline constexpr size_t kRowStatusCount = 7;

// Why a row failed. Refusals are decided before anything is sent.
enum class FailureReason : uint8_t {
    kNone,
    kDeviceRefused,      // the device's change result says it did not take the settings
    kNoAnswer,           // timed out: no change result within the answer time
    kNotSingleHost,      // refused: the direct command would reach more than this device
    kSharedGroupNumber,  // refused: other listed devices share the low 16 bits the group form carries
    kNoLocalSubnet,      // no address of this workstation lies in the device's subnet
    kUpgradeTimedOut,    // timed out: the device stayed silent during its upgrade
    kTransferCut,        // the transfer ended before the device had the whole file
    kSameNewAddress,     // refused: another chosen device would be given the same address
    kAddressInUse,       // refused: another listed device has the address it would be given
    kNotInPlan,          // refused: the address plan gives the device no settings
    kUnusableSetting,    // refused: a new setting would lose the device (address_rules.h)
};

struct RowState {
    RowStatus status = RowStatus::kNone;
    FailureReason reason = FailureReason::kNone;  // kFailed only
    int percent = -1;                             // kUpgrading, kUpgraded: -1 before the first block

    static RowState Waiting() { return {RowStatus::kWaiting, FailureReason::kNone, -1}; }
    static RowState Succeeded() { return {RowStatus::kSucceeded, FailureReason::kNone, -1}; }
    static RowState Failed(FailureReason why) { return {RowStatus::kFailed, why, -1}; }
    static RowState Upgrading(int percent = -1) {
        return {RowStatus::kUpgrading, FailureReason::kNone, percent};
    }
    static RowState NotStarted() { return {RowStatus::kNotStarted, FailureReason::kNone, -1}; }
    static RowState Upgraded(int percent) { return {RowStatus::kUpgraded, FailureReason::kNone, percent}; }

    bool TimedOut() const {
        return status == RowStatus::kFailed &&
               (reason == FailureReason::kNoAnswer || reason == FailureReason::kUpgradeTimedOut);
    }
    bool operator==(const RowState&) const = default;
};

// Names that never change with the language or the texts, for scripts:
// "", "waiting", "succeeded", "failed", "upgrading", "upgraded"; reasons
// "device-refused", "no-answer", "not-single-host", "shared-group-number",
// "no-local-subnet", "upgrade-timed-out", "transfer-cut", "same-new-address",
// "address-in-use", "not-in-plan", "unusable-setting".
std::string_view StatusName(RowStatus status);
std::string_view ReasonName(FailureReason reason);
// The whole value: "failed:no-answer", "upgrading:45", "upgrading" before the first block.
std::string StableName(const RowState& state);

// The State text of a value in a language; nullopt where the language writes
// none, and the cell keeps the text it had (a change result or failure in a
// language other than 1 or 2).
std::optional<std::string> StateText(const RowState& state, Language language);

}  // namespace quillane
