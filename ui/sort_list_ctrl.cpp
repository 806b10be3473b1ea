#include "sort_list_ctrl.h"

#include <QHeaderView>

#include "device_table_model.h"

CSortListCtrl::CSortListCtrl(quillane::DeviceTable& table, QWidget* parent)
    : QTableView(parent), m_table(table), m_model(new DeviceTableModel(table, this)) {
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setSortingEnabled(false);  // the core table sorts; Qt's own sorting would fight it
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(0);
    // Only the left button emits sectionClicked.
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_table.HeaderClick(column); });
    connect(this, &QTableView::clicked, this, [this] { emit RowClicked(FirstSelectedRow()); });
}

CSortListCtrl::~CSortListCtrl() {
    // Detach from the core table before it can go away.
    setModel(nullptr);
    delete m_model;
}

void CSortListCtrl::SetColumns(const std::array<std::string, quillane::kColumnCount>& headers,
                               const std::array<int, quillane::kColumnCount>& widths) {
    m_model->SetHeaders(headers);
    for (int i = 0; i < quillane::kColumnCount; ++i) {
        const int width = widths[static_cast<size_t>(i)];
        setColumnHidden(i, width <= 0);
        if (width > 0) setColumnWidth(i, width);
    }
}

int CSortListCtrl::FirstSelectedRow() const {
    int first = -1;
    if (!selectionModel()) return first;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (first < 0 || index.row() < first) first = index.row();
    }
    return first;
}
