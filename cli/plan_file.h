#pragma once

// Address plans from a spreadsheet: a CSV file whose header names its
// columns, one device per line with the settings it is to get. The column
// headers of `search --format csv` are accepted too (either language), so an
// exported inventory edited in a spreadsheet is a plan.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/device_settings_plan.h"

namespace quillane::cli {

// The settings a plan can give; each column is optional.
enum class PlanSetting { Ip, Mask, Gateway, Server, Standby };
inline constexpr int kPlanSettingCount = 5;

struct PlanRow {
    int line = 0;  // of the file, 1 is the header
    int32_t device = 0;
    // Empty cell or no such column: the device keeps that setting.
    DeviceSettings settings;
};

struct PlanError {
    int line = 0;
    std::string column;  // the header's text; empty when the line as a whole is wrong
    std::string message;
};

struct AddressPlan {
    std::vector<PlanRow> rows;
    // Each setting's column header as the file writes it (empty: no such
    // column), so later faults can name the column the operator sees.
    std::string headers[kPlanSettingCount];

    const std::string& Header(PlanSetting s) const { return headers[static_cast<int>(s)]; }
};

// The plan, or the first fault found (a file with a fault sends nothing).
struct PlanReading {
    std::optional<AddressPlan> plan;
    PlanError error;
};
PlanReading ReadAddressPlan(std::string_view content);

// "plan.csv, line 4, column "ip": ..." for the operator.
std::string DescribePlanError(const std::string& fileName, const PlanError& error);

// The header text a setting's column has in the plan's own vocabulary ("ip", "mask" ...).
const char* PlanSettingName(PlanSetting setting);

}  // namespace quillane::cli
