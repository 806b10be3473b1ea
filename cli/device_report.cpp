#include "device_report.h"

#include <ostream>

#include "commands.h"

namespace quillane::cli {

int ReportMissing(const ChosenDevices& devices, std::ostream& out) {
    for (int32_t number : devices.missing) out << "device " << number << "  not found by the search\n";
    return static_cast<int>(devices.missing.size());
}

int ReportNothingChosen(const ChosenDevices& devices, std::ostream& out, std::ostream& err) {
    ReportMissing(devices, out);
    out << std::flush;
    err << "quillane-cli: "
        << (devices.missing.empty() ? "no device answered the search" : "none of the devices was found")
        << "; nothing was done\n";
    return kExitSomeFailed;
}

}  // namespace quillane::cli
