#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "progress_line.h"

namespace quillane::cli {

// The progress of an upgrade run on standard error, one device after the
// other, read from the State texts the run writes into the table: the
// `started` text opens a device's line, "45%" moves it, any other text (a
// failure) ends it.
class UpgradeProgress {
public:
    // labels: row -> the text that names the device ("device 12  10.77.1.5").
    UpgradeProgress(std::ostream& err, std::map<int, std::string> labels, std::string started, bool terminal);
    void StateChanged(int row, const std::string& text);
    void Finish();

private:
    std::ostream& m_err;
    const std::map<int, std::string> m_labels;
    const std::string m_started;
    const bool m_terminal;
    int m_row = -1;
    std::unique_ptr<ProgressLine> m_line;
};

// The percentage of a State text such as "45%"; -1 for any other text.
int StatePercent(const std::string& text);

}  // namespace quillane::cli
