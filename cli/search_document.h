#pragma once

// search --check --format json: the devices found and what looks wrong among
// them as one JSON document, for programs that take a site's inventory. Each
// device carries its settings, its type code (null when the type column shows
// an unknown device) and its version as the table shows it.

#include <string>
#include <vector>

#include "row_format.h"
#include "runs/fleet_check.h"

namespace quillane::cli {

// The finding kinds as the document names them: "shared-address",
// "shared-group-number", "off-segment", "non-host".
std::string FindingKindName(FleetFinding::Kind kind);

// The type code behind a type column's text (in either language); -1 for an unknown device.
int32_t TypeCodeOfName(const std::string& name);

std::string FormatSearchDocument(const std::vector<ListedDevice>& rows,
                                 const std::vector<FleetFinding>& findings);

}  // namespace quillane::cli
