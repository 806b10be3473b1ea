#include "sort_list_ctrl.h"

#include <commctrl.h>

#include <algorithm>

#include "dpi_scale.h"
#include "model/device_list_text.h"
#include "wide_text.h"

using quillane::kColumnCount;

namespace win32 {

CSortListCtrl::CSortListCtrl(quillane::DeviceTable& table, GuiCallQueue& calls)
    : m_table(table), m_calls(calls) {}

// After SetObserver returns no worker is inside one of our callbacks.
CSortListCtrl::~CSortListCtrl() {
    m_table.SetObserver(nullptr);
}

void CSortListCtrl::Attach(HWND list) {
    m_list = list;
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_table.SetObserver(this);
    CatchUp();
}

void CSortListCtrl::SetColumns(const std::array<std::string, kColumnCount>& headers,
                               const std::array<int, kColumnCount>& widths) {
    m_widths = widths;
    while (ListView_DeleteColumn(m_list, 0)) {
    }
    const UINT dpi = WindowDpi(m_list);
    for (int i = 0; i < kColumnCount; ++i) {
        std::wstring header = W(headers[static_cast<size_t>(i)]);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = ScaleForDpi(widths[static_cast<size_t>(i)], dpi);
        column.pszText = header.data();
        column.iSubItem = i;
        ListView_InsertColumn(m_list, i, &column);
    }
}

void CSortListCtrl::OnDpiChanged(UINT oldDpi, UINT newDpi) {
    if (!m_list || oldDpi == 0 || oldDpi == newDpi) return;
    for (int i = 0; i < kColumnCount; ++i) {
        const int width = ListView_GetColumnWidth(m_list, i);
        ListView_SetColumnWidth(m_list, i, MulDiv(width, static_cast<int>(newDpi), static_cast<int>(oldDpi)));
    }
}

std::vector<int> CSortListCtrl::ShownColumns() const {
    return quillane::ShownColumns(m_widths);
}

int CSortListCtrl::FirstSelectedRow() const {
    return ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
}

std::vector<int> CSortListCtrl::SelectedRows() const {
    std::vector<int> rows;
    for (int row = ListView_GetNextItem(m_list, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(m_list, row, LVNI_SELECTED)) {
        rows.push_back(row);
    }
    return rows;
}

void CSortListCtrl::CatchUp() {
    m_catchUpQueued = false;  // news from now on queues another catch-up
    if (!m_list) return;
    // Rows that are gone or moved take their selection with them, as in any list.
    if (m_cleared.exchange(false)) ListView_SetItemCountEx(m_list, 0, 0);
    if (m_reordered.exchange(false)) ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const int rows = m_table.RowCount();
    if (rows != ListView_GetItemCount(m_list))
        ListView_SetItemCountEx(m_list, rows, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    // Only the rows in sight are drawn again, whatever changed.
    if (m_cellsChanged.exchange(false)) InvalidateRect(m_list, nullptr, FALSE);
}

void CSortListCtrl::RequestCatchUp() {
    if (m_catchUpQueued.exchange(true)) return;
    m_calls.Post([this] { CatchUp(); });
}

void CSortListCtrl::RowsCleared() {
    m_cleared = true;
    m_cellsChanged = true;
    RequestCatchUp();
}

void CSortListCtrl::RowAppended(int, const quillane::DeviceRow&) {
    RequestCatchUp();
}

void CSortListCtrl::CellChanged(int, int, const std::string&) {
    m_cellsChanged = true;
    RequestCatchUp();
}

void CSortListCtrl::RowsReordered(const std::vector<quillane::DeviceRow>&) {
    m_reordered = true;
    m_cellsChanged = true;
    RequestCatchUp();
}

void CSortListCtrl::FillCellText(NMLVDISPINFOW& info) const {
    if (!(info.item.mask & LVIF_TEXT) || !info.item.pszText || info.item.cchTextMax <= 0) return;
    const std::wstring text = W(m_table.Cell(info.item.iItem, info.item.iSubItem));
    const size_t length = std::min(text.size(), static_cast<size_t>(info.item.cchTextMax - 1));
    std::copy_n(text.data(), length, info.item.pszText);
    info.item.pszText[length] = L'\0';
}

bool CSortListCtrl::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != m_list) return false;
    switch (header.code) {
        case LVN_GETDISPINFOW:
            FillCellText(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
            result = 0;
            return true;
        case LVN_COLUMNCLICK:  // the left button only
            m_table.HeaderClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
            result = 0;
            return true;
        case LVN_ODFINDITEMW:  // typing in the list finds nothing: rows are not searched by text
            result = -1;
            return true;
        default:
            return false;
    }
}

}  // namespace win32
