#pragma once

// How quillane-cli change turns its input into a batch before anything is
// sent: an address plan read from a file and matched to the devices found,
// the batch the station would send, and the dry run's account of it.

#include <iosfwd>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/device_settings_plan.h"
#include "plan_file.h"
#include "runs/address_change_batch.h"

namespace quillane::cli {

struct MatchedPlan {
    std::shared_ptr<DeviceSettingsPlan> settings;  // the plan's devices that get a command
    std::vector<int32_t> devices;                  // every device the plan names, in file order
    std::set<int32_t> unchanged;                   // found with exactly the planned settings already
};

// The plan's devices against the rows found: a device whose row already holds
// every planned setting gets no command.
MatchedPlan MatchPlan(const AddressPlan& plan, const std::vector<DeviceRow>& rows);

// The first conflict of a plan's batch as a fault of the plan file (its line
// and IP column); nullopt when the plan gives no two devices one address.
std::optional<PlanError> PlanConflict(const AddressPlan& plan, const AddressChangeBatch& batch);

// One line per device of the batch: the form, the destination and the new
// settings, or why nothing would be sent. Returns the number of refused rows.
int PrintDryRun(const AddressChangeBatch& batch, int language, std::ostream& out);

}  // namespace quillane::cli
