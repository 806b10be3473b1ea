#include <ostream>

#include "cli_station.h"
#include "commands.h"
#include "progress_line.h"
#include "row_format.h"

namespace quillane::cli {

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
    out << FormatRows(rows, invocation.format, invocation.search.language) << std::flush;
    err << rows.size() << (rows.size() == 1 ? " device" : " devices") << " found\n";
    return kExitDone;
}

}  // namespace quillane::cli
