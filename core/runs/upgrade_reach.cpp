#include "runs/upgrade_reach.h"

#include "link/segment_rule.h"

namespace quillane {

bool UpgradeReachesRow(const DeviceTable& table, int row, const LocalAddressLists& local) {
    return FindFacingLocalAddress(table.Cell(row, kColIP), table.Cell(row, kColMask), local.ips,
                                  local.masks) >= 0;
}

}  // namespace quillane
