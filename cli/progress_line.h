#pragma once

#include <iosfwd>
#include <mutex>
#include <string>

namespace quillane::cli {

// Progress of one piece of work on standard error: on a terminal one line
// rewritten in place, otherwise (a log, a pipe) one line per 10 % reached.
// Values may come from any thread; values not above the last one shown
// (the bar set back to 0 at the end) are passed over.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, std::string label);
    ProgressLine(std::ostream& err, std::string label, bool terminal);
    ~ProgressLine() { Finish(); }

    void Show(int percent);
    // Ends the live line; nothing more is shown.
    void Finish();

private:
    std::ostream& m_err;
    const std::string m_label;
    const bool m_terminal;
    std::mutex m_mutex;
    int m_shown = -1;
    bool m_finished = false;
};

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

}  // namespace quillane::cli
