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

// The first row of a plan's batch that is a fault of the plan file: a new
// setting that would lose the device (its line and that setting's column), or
// two devices given one address (the IP column); nullopt when there is none.
std::optional<PlanError> PlanConflict(const AddressPlan& plan, const AddressChangeBatch& batch);

// The first row of a batch made from the command line's settings that a
// setting would lose: which option and device, and why; empty when none.
std::string UnusableArgument(const AddressChangeBatch& batch, Language language);

// One line per device of the batch: the form, the destination and the new
// settings, or why nothing would be sent. Returns the number of refused rows.
int PrintDryRun(const AddressChangeBatch& batch, Language language, std::ostream& out);

}  // namespace quillane::cli
