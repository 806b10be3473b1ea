#include "runs/search_aftercheck.h"

#include <vector>

#include "model/control_ids.h"
#include "runs/fleet_check.h"
#include "runs/station_state.h"

namespace quillane {

void SearchAftercheck::SearchSent(uint32_t now) {
    m_pending = true;
    m_since = now;
    m_rows = 0;
}

bool SearchAftercheck::Pass(StationState& station, uint32_t now) {
    if (!m_pending) return false;
    const int rows = station.m_DeviceList.RowCount();
    // A stamp ahead of the clock (the counter wrapped) restarts the count.
    if (rows != m_rows || now < m_since) {
        m_rows = rows;
        m_since = now;
        return false;
    }
    if (now - m_since < kSearchSettleMs) return false;
    m_pending = false;
    std::vector<DeviceRow> table;
    for (int row = 0; row < rows; ++row) table.push_back(station.m_DeviceList.Row(row));
    const std::vector<FleetFinding> findings = CheckFleet(table, *station.LocalAddresses());
    if (findings.empty()) return true;
    const std::string text = DescribeFinding(findings.front(), station.m_nLanguage.load());
    if (!text.empty()) station.View().SetCaption(kIdNoteLine, text);
    return true;
}

}  // namespace quillane
