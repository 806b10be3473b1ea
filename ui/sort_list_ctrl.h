#pragma once

#include <QTableView>
#include <array>

#include "model/device_table.h"

class DeviceTableModel;

// The device table control: a grid with full-row selection over the core table.
// Header clicks sort the core table by its own rules; the view follows.
class CSortListCtrl : public QTableView {
    Q_OBJECT
public:
    CSortListCtrl(quillane::DeviceTable& table, QWidget* parent = nullptr);
    ~CSortListCtrl() override;

    DeviceTableModel* Model() const { return m_model; }
    const quillane::DeviceTable& Table() const { return m_table; }
    void SetColumns(const std::array<std::string, quillane::kColumnCount>& headers,
                    const std::array<int, quillane::kColumnCount>& widths);
    // First selected row in table order; -1 when none.
    int FirstSelectedRow() const;

signals:
    void RowClicked(int firstSelectedRow);

private:
    quillane::DeviceTable& m_table;
    DeviceTableModel* m_model;
};
