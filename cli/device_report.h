#pragma once

#include <iosfwd>

#include "cli_station.h"

namespace quillane::cli {

// One line per device asked for that the search did not find; returns their number.
int ReportMissing(const ChosenDevices& devices, std::ostream& out);

// Nothing to work on: the devices asked for were not found, or none answered
// (--all). Reports it and returns the exit code.
int ReportNothingChosen(const ChosenDevices& devices, std::ostream& out, std::ostream& err);

}  // namespace quillane::cli
