#pragma once

// What a press hands to the command loop: every value its run needs, taken on
// the thread that took the press. The loop works from the request alone and
// never asks the window again, so no worker reads a control.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/device_settings_plan.h"
#include "runs/address_change_plan.h"

namespace quillane {

struct AddressChangeBatch;

// Find: the find type (0 multicast search, anything else the range walk) and
// the range, number form, first octet most significant.
struct SearchRequest {
    int findType = 0;
    uint32_t rangeStart = 0;
    uint32_t rangeEnd = 0;
    bool IsRangeWalk() const { return findType != 0; }
};

// Modify IP: the confirmed entries as one value, or a plan that gives each
// chosen device exactly its entry. The chosen rows are the table's: the run
// locks the choice controls and keeps rows in place until it ends.
struct AddressChangeRequest {
    AddressChangeSettings settings;
    std::shared_ptr<const DeviceSettingsPlan> plan;
    bool rangeSearchChosen = false;  // the range fields come back enabled after the run
    // Worked out already (Station::PlanAddressChanges, for a front end that
    // shows the batch before it is sent): sent as it stands. Otherwise the
    // run works it out from the settings or the plan when it begins.
    std::shared_ptr<const AddressChangeBatch> batch;
};

// Choose rows: every row, or the rows of these devices (by device number).
// A front end without a table to click names the devices it means.
struct RowChoice {
    bool all = false;
    std::vector<int32_t> deviceNumbers;
};

// What a choice left checked: the device numbers of the chosen rows in table
// order, and the numbers asked for that no row holds.
struct ChosenDevices {
    std::vector<int32_t> chosen;
    std::vector<int32_t> missing;
};

// Upgrade: the firmware file as it was at the press; the devices are the
// table's chosen rows in table order.
struct UpgradeRequest {
    std::string file;
    bool rangeSearchChosen = false;
    int parallel = 1;     // devices in their upgrade at once (1 .. kMaxUpgradeParallel)
    int maxFailures = 0;  // once this many failed, no new device starts; 0: no limit
};

}  // namespace quillane
