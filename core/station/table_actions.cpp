// Check marks of the device table: a click on a row, Select all and Cancel.

#include "station/station.h"

namespace quillane {

void Station::OnTableClick(int firstSelectedRow) {
    if (firstSelectedRow < 0) return;
    // Rows are addressed by index while an upgrade runs; the choice is frozen.
    if (m_bUpgrading.load() != 0) return;
    const bool chosen = m_DeviceList.IsChosen(firstSelectedRow);
    m_DeviceList.SetCell(firstSelectedRow, kColChoice, chosen ? "" : kCheckMark);
}

// The row count is read again after each row: replies may add rows meanwhile.
void Station::OnSelectAll() {
    for (int row = 0; row < m_DeviceList.RowCount(); ++row) m_DeviceList.SetCell(row, kColChoice, kCheckMark);
}

void Station::OnCancel() {
    for (int row = 0; row < m_DeviceList.RowCount(); ++row) m_DeviceList.SetCell(row, kColChoice, "");
}

}  // namespace quillane
