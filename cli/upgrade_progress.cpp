#include "upgrade_progress.h"

#include <charconv>
#include <utility>

namespace quillane::cli {

int StatePercent(const std::string& text) {
    if (text.size() < 2 || text.back() != '%') return -1;
    int percent = -1;
    const char* end = text.data() + text.size() - 1;
    const auto [at, error] = std::from_chars(text.data(), end, percent);
    return error == std::errc() && at == end && percent >= 0 ? percent : -1;
}

UpgradeProgress::UpgradeProgress(std::ostream& err, std::map<int, std::string> labels, std::string started,
                                 bool terminal)
    : m_err(err), m_labels(std::move(labels)), m_started(std::move(started)), m_terminal(terminal) {}

void UpgradeProgress::StateChanged(int row, const std::string& text) {
    const auto label = m_labels.find(row);
    if (label == m_labels.end()) return;
    const int percent = StatePercent(text);
    if (percent >= 0 && row == m_row) {
        m_line->Show(percent);
        return;
    }
    Finish();
    if (percent < 0 && text != m_started) return;  // a failure ends the device's line
    m_row = row;
    m_line = std::make_unique<ProgressLine>(m_err, label->second, m_terminal);
    m_line->Show(percent < 0 ? 0 : percent);
}

void UpgradeProgress::Finish() {
    if (m_line) m_line->Finish();
    m_line.reset();
    m_row = -1;
}

}  // namespace quillane::cli
