#include "progress_line.h"

#include <cstdio>
#include <ostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quillane::cli {

bool StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

ProgressLine::ProgressLine(std::ostream& err, std::string label)
    : ProgressLine(err, std::move(label), StandardErrorIsTerminal()) {}

ProgressLine::ProgressLine(std::ostream& err, std::string label, bool terminal)
    : m_err(err), m_label(std::move(label)), m_terminal(terminal) {}

void ProgressLine::Show(int percent) {
    std::lock_guard lock(m_mutex);
    if (m_finished || percent <= m_shown || percent > 100) return;
    if (m_terminal) {
        m_shown = percent;
        m_err << "\r" << m_label << " " << percent << "%" << std::flush;
        return;
    }
    const int decade = percent / 10 * 10;
    if (decade <= m_shown || decade == 0) return;
    m_shown = decade;
    m_err << m_label << " " << decade << "%\n" << std::flush;
}

void ProgressLine::Finish() {
    std::lock_guard lock(m_mutex);
    if (m_finished) return;
    m_finished = true;
    if (m_terminal && m_shown >= 0) m_err << "\n" << std::flush;
}

}  // namespace quillane::cli
