// Check marks of the device table: a click on a row, Select all, Cancel, and
// the choice a front end makes by device numbers.

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

ChosenDevices Station::ChooseRows(const RowChoice& choice) {
    ChosenDevices result;
    // Rows are addressed by index while an upgrade runs; the choice is frozen.
    if (m_bUpgrading.load() == 0) {
        if (choice.all) OnSelectAll();
        const std::vector<int32_t>& named = choice.all ? std::vector<int32_t>{} : choice.deviceNumbers;
        for (int32_t number : named) {
            const int row = m_DeviceList.FindRowByDeviceNumber(number);
            if (row < 0)
                result.missing.push_back(number);
            else
                m_DeviceList.SetCell(row, kColChoice, kCheckMark);
        }
    }
    for (int row = 0; row < m_DeviceList.RowCount(); ++row)
        if (m_DeviceList.IsChosen(row)) result.chosen.push_back(m_DeviceList.RowDeviceNumber(row));
    return result;
}

}  // namespace quillane
