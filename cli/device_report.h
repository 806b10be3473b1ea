#pragma once

#include <iosfwd>
#include <optional>

#include "cli_station.h"

namespace quillane::cli {

// One line per device asked for that the search did not find; returns their number.
int ReportMissing(const ChosenDevices& devices, std::ostream& out);

// What change and upgrade do first: start the station, search, and choose
// the devices asked for. Returns the chosen devices, or nullopt when the
// command ends here, with `exitCode` set and the reason reported.
std::optional<ChosenDevices> StartSearchAndChoose(CliStation& cli, const DeviceChoice& choice,
                                                  std::ostream& out, std::ostream& err, int& exitCode);

// Nothing to work on: the devices asked for were not found, or none answered
// (--all). Reports it and returns the exit code.
int ReportNothingChosen(const ChosenDevices& devices, std::ostream& out, std::ostream& err);

}  // namespace quillane::cli
