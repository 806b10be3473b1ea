#include "device_list_export.h"

#include <QItemSelectionModel>

#include "model/device_list_text.h"
#include "sort_list_ctrl.h"

std::vector<int> VisibleColumns(const CSortListCtrl& list) {
    std::vector<int> columns;
    for (int column = 0; column < list.model()->columnCount(); ++column) {
        if (!list.isColumnHidden(column)) columns.push_back(column);
    }
    return columns;
}

QString SelectedDevicesText(const CSortListCtrl& list) {
    if (!list.selectionModel()) return {};
    std::vector<int> rows;
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        if (list.selectionModel()->isRowSelected(row)) rows.push_back(row);
    }
    return QString::fromStdString(quillane::DeviceRowsText(list.Table(), VisibleColumns(list), rows));
}
