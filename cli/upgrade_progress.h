#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "model/row_state.h"
#include "progress_line.h"

namespace quillane::cli {

// The progress of an upgrade run on standard error, one device after the
// other, read from the state values the run gives the rows: an upgrade that
// starts opens a device's line, its percentage moves it, anything else (a
// failure, the whole file delivered) ends it.
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
    int m_row = -1;
    std::unique_ptr<ProgressLine> m_line;
};

}  // namespace quillane::cli
