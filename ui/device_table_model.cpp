#include "device_table_model.h"

#include <QMetaObject>

using quillane::DeviceRow;
using quillane::kColumnCount;

DeviceTableModel::DeviceTableModel(quillane::DeviceTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {
    for (int i = 0; i < kColumnCount; ++i) m_headers << QString();
    // Watch first, then copy what exists: a change made in between is both in
    // the copy and in the queue, and applying it twice leaves the same rows.
    m_table.SetObserver(this);
    for (int row = 0; row < table.RowCount(); ++row) m_rows.push_back(ToRow(table.Row(row)));
}

// After SetObserver returns no worker is inside one of our callbacks; queued
// changes still pending die with this object.
DeviceTableModel::~DeviceTableModel() {
    m_table.SetObserver(nullptr);
}

void DeviceTableModel::SetHeaders(const std::array<std::string, kColumnCount>& headers) {
    for (int i = 0; i < kColumnCount; ++i)
        m_headers[i] = QString::fromStdString(headers[static_cast<size_t>(i)]);
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

int DeviceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DeviceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant DeviceTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    return m_rows[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())];
}

QVariant DeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    if (role == Qt::DisplayRole) return m_headers[section];
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

DeviceTableModel::Row DeviceTableModel::ToRow(const DeviceRow& cells) {
    Row row;
    for (int i = 0; i < kColumnCount; ++i)
        row[static_cast<size_t>(i)] = QString::fromStdString(cells[static_cast<size_t>(i)]);
    return row;
}

template <class Change>
void DeviceTableModel::Queue(Change change) {
    QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
}

void DeviceTableModel::RowsCleared() {
    Queue([this] {
        beginResetModel();
        m_rows.clear();
        endResetModel();
    });
}

void DeviceTableModel::RowAppended(int row, const DeviceRow& cells) {
    Queue([this, row, cells = ToRow(cells)] {
        // Changes arrive in the table's order, so the copy is always one row short here.
        if (row != static_cast<int>(m_rows.size())) return;
        beginInsertRows({}, row, row);
        m_rows.push_back(cells);
        endInsertRows();
    });
}

void DeviceTableModel::CellChanged(int row, int column, const std::string& text) {
    Queue([this, row, column, text = QString::fromStdString(text)] {
        if (row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0 || column >= kColumnCount) return;
        m_rows[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
        const QModelIndex cell = index(row, column);
        emit dataChanged(cell, cell, {Qt::DisplayRole});
    });
}

void DeviceTableModel::RowsReordered(const std::vector<DeviceRow>& rows) {
    std::vector<Row> copy;
    copy.reserve(rows.size());
    for (const DeviceRow& r : rows) copy.push_back(ToRow(r));
    Queue([this, copy = std::move(copy)]() mutable {
        beginResetModel();
        m_rows = std::move(copy);
        endResetModel();
    });
}
