#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "model/row_state.h"
#include "progress_line.h"

namespace quillane::cli {

// The progress of an upgrade run on standard error, read from the state
// values the run gives the rows: an upgrade that starts opens a device's
// line, its percentage moves it, anything else (a failure, the whole file
// delivered) ends it. Devices upgraded at once each have their line; their
// lines are never rewritten in place (they would overwrite each other).
class UpgradeProgress {
public:
    // labels: row -> the text that names the device ("device 12  10.77.1.5").
    UpgradeProgress(std::ostream& err, std::map<int, std::string> labels, bool terminal);
    void StateChanged(int row, const RowState& state);
    void Finish();

private:
    std::ostream& m_err;
    const std::map<int, std::string> m_labels;
    const bool m_terminal;
    std::map<int, std::unique_ptr<ProgressLine>> m_lines;  // by row
    bool m_several = false;                                // two devices were in flight at once
};

}  // namespace quillane::cli
