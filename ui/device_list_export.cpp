#include "device_list_export.h"

#include <QItemSelectionModel>

#include "model/device_list_text.h"
#include "sort_list_ctrl.h"
#include "support/whole_file.h"

namespace {

std::vector<int> VisibleColumns(const CSortListCtrl& list) {
    std::vector<int> columns;
    for (int column = 0; column < list.model()->columnCount(); ++column) {
        if (!list.isColumnHidden(column)) columns.push_back(column);
    }
    return columns;
}

std::array<std::string, quillane::kColumnCount> Headers(const CSortListCtrl& list) {
    std::array<std::string, quillane::kColumnCount> headers;
    for (int column = 0; column < quillane::kColumnCount; ++column)
        headers[static_cast<size_t>(column)] =
            list.model()->headerData(column, Qt::Horizontal).toString().toStdString();
    return headers;
}

}  // namespace

bool ExportDeviceList(const CSortListCtrl& list, const QString& path) {
    const std::string content =
        quillane::DeviceListCsvFile(list.Table(), VisibleColumns(list), Headers(list));
    return quillane::WriteWholeFile(path.toStdString(), content);
}

QString SelectedDevicesText(const CSortListCtrl& list) {
    if (!list.selectionModel()) return {};
    std::vector<int> rows;
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        if (list.selectionModel()->isRowSelected(row)) rows.push_back(row);
    }
    return QString::fromStdString(quillane::DeviceRowsText(list.Table(), VisibleColumns(list), rows));
}
