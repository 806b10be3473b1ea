#include "upgrade_progress.h"

#include <utility>

namespace quillane::cli {

UpgradeProgress::UpgradeProgress(std::ostream& err, std::map<int, std::string> labels, bool terminal)
    : m_err(err), m_labels(std::move(labels)), m_terminal(terminal) {}

void UpgradeProgress::StateChanged(int row, const RowState& state) {
    const auto label = m_labels.find(row);
    if (label == m_labels.end()) return;
    const bool upgrading = state.status == RowStatus::kUpgrading;
    const auto line = m_lines.find(row);
    if (upgrading && state.percent >= 0 && line != m_lines.end()) {
        line->second->Show(state.percent);
        return;
    }
    if (line != m_lines.end()) {
        line->second->Finish();
        m_lines.erase(line);
    }
    if (!upgrading) return;  // a failure or the end of the transfer ends the device's line
    // A line is rewritten in place only while it is the only one: a second
    // device turns the live one into lines of their own.
    if (!m_lines.empty() && !m_several) {
        m_several = true;
        for (auto& [other, live] : m_lines) {
            if (!m_terminal) continue;
            live->Finish();
            live = std::make_unique<ProgressLine>(m_err, m_labels.at(other), false);
        }
    }
    auto& created = m_lines[row] =
        std::make_unique<ProgressLine>(m_err, label->second, m_terminal && !m_several);
    created->Show(state.percent < 0 ? 0 : state.percent);
}

void UpgradeProgress::Finish() {
    for (auto& [row, line] : m_lines) line->Finish();
    m_lines.clear();
}

}  // namespace quillane::cli
