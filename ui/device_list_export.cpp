#include "device_list_export.h"

#include <QItemSelectionModel>
#include <QSaveFile>

#include "model/table_export.h"
#include "sort_list_ctrl.h"

namespace {

std::vector<std::string> VisibleCells(const CSortListCtrl& list, int row) {
    std::vector<std::string> cells;
    const QAbstractItemModel* model = list.model();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (list.isColumnHidden(column)) continue;
        cells.push_back(model->index(row, column).data().toString().toStdString());
    }
    return cells;
}

std::vector<std::string> VisibleHeaders(const CSortListCtrl& list) {
    std::vector<std::string> headers;
    const QAbstractItemModel* model = list.model();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (list.isColumnHidden(column)) continue;
        headers.push_back(model->headerData(column, Qt::Horizontal).toString().toStdString());
    }
    return headers;
}

}  // namespace

bool ExportDeviceList(const CSortListCtrl& list, const QString& path) {
    quillane::TextRows rows{VisibleHeaders(list)};
    for (int row = 0; row < list.model()->rowCount(); ++row) rows.push_back(VisibleCells(list, row));
    const std::string content = quillane::CsvFileContent(rows);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(content.data(), static_cast<qint64>(content.size())) !=
        static_cast<qint64>(content.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString SelectedDevicesText(const CSortListCtrl& list) {
    quillane::TextRows rows;
    if (!list.selectionModel()) return {};
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        if (list.selectionModel()->isRowSelected(row)) rows.push_back(VisibleCells(list, row));
    }
    return QString::fromStdString(quillane::TabSeparatedText(rows));
}
