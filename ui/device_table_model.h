#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

#include "model/device_table.h"

// The Qt face of the core device table. It keeps its own copy of the rows:
// every change of the table is queued to the GUI thread and applied there in
// order, so a worker never waits for the GUI and the GUI never takes the
// table's locks to paint.
class DeviceTableModel : public QAbstractTableModel, public quillane::DeviceTableObserver {
    Q_OBJECT
public:
    explicit DeviceTableModel(quillane::DeviceTable& table, QObject* parent = nullptr);
    ~DeviceTableModel() override;

    void SetHeaders(const std::array<std::string, quillane::kColumnCount>& headers);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // DeviceTableObserver: any thread, with the table's mutex held; only queues.
    void RowsCleared() override;
    void RowAppended(int row, const quillane::DeviceRow& cells) override;
    void CellChanged(int row, int column, const std::string& text) override;
    void RowsReordered(const std::vector<quillane::DeviceRow>& rows) override;

private:
    using Row = std::array<QString, quillane::kColumnCount>;
    static Row ToRow(const quillane::DeviceRow& cells);
    template <class Change>
    void Queue(Change change);

    quillane::DeviceTable& m_table;
    std::vector<Row> m_rows;
    QStringList m_headers;
};
