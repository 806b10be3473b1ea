#pragma once

// Which chosen devices an upgrade run can take: the boot reply and the
// transfer come from an address of this workstation, so the device must lie
// in the subnet of one of them. The run and its dry run follow this one rule.

#include "link/local_adapters.h"
#include "model/device_table.h"

namespace quillane {

bool UpgradeReachesRow(const DeviceTable& table, int row, const LocalAddressLists& local);

}  // namespace quillane
