#include "upgrade_progress.h"

#include <utility>

namespace quillane::cli {

UpgradeProgress::UpgradeProgress(std::ostream& err, std::map<int, std::string> labels, bool terminal)
    : m_err(err), m_labels(std::move(labels)), m_terminal(terminal) {}

void UpgradeProgress::StateChanged(int row, const RowState& state) {
    const auto label = m_labels.find(row);
    if (label == m_labels.end()) return;
    const bool upgrading = state.status == RowStatus::kUpgrading;
    if (upgrading && state.percent >= 0 && row == m_row) {
        m_line->Show(state.percent);
        return;
    }
    Finish();
    if (!upgrading) return;  // a failure or the end of the transfer ends the device's line
    m_row = row;
    m_line = std::make_unique<ProgressLine>(m_err, label->second, m_terminal);
    m_line->Show(state.percent < 0 ? 0 : state.percent);
}

void UpgradeProgress::Finish() {
    if (m_line) m_line->Finish();
    m_line.reset();
    m_row = -1;
}

}  // namespace quillane::cli
