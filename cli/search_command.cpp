#include <ostream>

#include "cli_station.h"
#include "commands.h"
#include "progress_line.h"
#include "row_format.h"
#include "runs/fleet_check.h"
#include "search_document.h"

namespace quillane::cli {
namespace {

int ReportFindings(const std::vector<FleetFinding>& findings, std::ostream& out) {
    out << "\n" << (findings.empty() ? "check: nothing found" : "check:") << "\n";
    for (const FleetFinding& finding : findings) out << "  " << DescribeFinding(finding, kEnglish) << "\n";
    out << std::flush;
    return findings.empty() ? kExitDone : kExitSomeFailed;
}

std::vector<FleetFinding> Findings(CliStation& cli, const std::vector<ListedDevice>& rows) {
    std::vector<DeviceRow> cells;
    for (const ListedDevice& row : rows) cells.push_back(row.cells);
    return CheckFleet(cells, *cli.station().LocalAddresses());
}

// One document with the devices and the findings, for programs.
int PrintDocument(CliStation& cli, const std::vector<ListedDevice>& rows, std::ostream& out,
                  std::ostream& err) {
    const std::vector<FleetFinding> findings = Findings(cli, rows);
    out << FormatSearchDocument(rows, findings) << std::flush;
    err << rows.size() << (rows.size() == 1 ? " device" : " devices") << " found\n";
    return findings.empty() ? kExitDone : kExitSomeFailed;
}

}  // namespace

int RunSearchCommand(const Invocation& invocation, std::ostream& out, std::ostream& err) {
    CliStation cli(invocation.search, Services::DeviceLink);
    std::string error;
    if (!cli.Start(error)) {
        err << "quillane-cli: " << error << "\n";
        return kExitUnusable;
    }
    // A range walk over a large range takes a while: show how far it got.
    ProgressLine walk(err, "probing the range");
    if (invocation.search.range) cli.view().OnProgress([&walk](int percent) { walk.Show(percent); });
    const bool searched = cli.Search(error);
    cli.view().OnProgress(nullptr);
    walk.Finish();
    if (!searched) {
        err << "quillane-cli: " << error << "\n";
        return kExitUnusable;
    }
    const std::vector<ListedDevice> rows = cli.SortedRows();
    if (invocation.check && invocation.format == OutputFormat::Json)
        return PrintDocument(cli, rows, out, err);
    out << FormatRows(rows, invocation.format, invocation.search.language) << std::flush;
    err << rows.size() << (rows.size() == 1 ? " device" : " devices") << " found\n";
    if (!invocation.check) return kExitDone;
    // CSV and JSON stay readable by programs: the findings go beside them.
    std::ostream& findingsOut = invocation.format == OutputFormat::Table ? out : err;
    return ReportFindings(Findings(cli, rows), findingsOut);
}

}  // namespace quillane::cli
