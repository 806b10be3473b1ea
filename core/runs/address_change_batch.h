#pragma once

// An address-change batch worked out as a whole before anything is sent:
// every chosen row's command, then the conflict rule over all of them, so no
// batch ever gives two devices one address. The sender carries it out; a dry
// run prints it.

#include <string>
#include <vector>

#include "link/local_adapters.h"
#include "model/device_settings_plan.h"
#include "model/language.h"
#include "runs/address_change_plan.h"
#include "runs/address_conflicts.h"

namespace quillane {

struct BatchRow {
    int row = 0;  // index in the table
    int32_t deviceNumber = 0;
    IPv4Address present;
    RowPlan plan;
    bool rangeErrorAfter = false;   // the addresses ran out after this row's command
    int32_t conflictingDevice = 0;  // kSameNewAddress / kTakesListedAddress: the other device
};

struct AddressChangeBatch {
    std::vector<BatchRow> rows;  // the chosen rows in table order, up to a range error
};

AddressChangeBatch PlanAddressChangeBatch(const std::vector<DeviceRow>& table,
                                          const AddressChangeSettings& settings,
                                          const DeviceSettingsPlan* plan, const LocalAddressLists& local,
                                          IPv4Address commandGroup);

// Why a row was refused, for the operator, in the window's language (1, 2).
std::string DescribeRefusal(const BatchRow& row, Language language);
// The note line after a batch that refused rows: the devices and why; empty when none was refused.
std::string DescribeRefusedRows(const AddressChangeBatch& batch, Language language);

}  // namespace quillane
