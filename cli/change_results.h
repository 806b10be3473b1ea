#pragma once

// What the results document says about an address change beyond the run
// records: each device's settings before and after, and a dry run's account.

#include "model/device_table.h"
#include "results_document.h"
#include "runs/address_change_batch.h"

namespace quillane::cli {

// The five address settings a row shows.
SettingsFacts RowSettings(const DeviceRow& row);

// A dry run of the batch: "would-change" for each device that would get a
// command (with the settings it would get), "refused" with the reason otherwise.
void AddChangeDryRun(ResultsDocument& document, const AddressChangeBatch& batch, const DeviceTable& table);

}  // namespace quillane::cli
