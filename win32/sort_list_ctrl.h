#pragma once

// The device table control: an owner-data report list view over the core's
// device table. The list holds no rows of its own: it asks for each cell as it
// draws it and reads it from the table, so even a full table (65,536 rows) is
// never copied. Header clicks sort the table by its own rules.
//
// The table tells of its changes on whatever thread makes them, with its lock
// held; this control then only raises flags and queues one "catch up" call to
// the window's thread, which sets the list's row count and repaints.

// windows.h first: the headers that build on it need it before them.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "gui_call_queue.h"
#include "model/device_table.h"

namespace win32 {

class CSortListCtrl : public quillane::DeviceTableObserver {
public:
    CSortListCtrl(quillane::DeviceTable& table, GuiCallQueue& calls);
    ~CSortListCtrl() override;
    CSortListCtrl(const CSortListCtrl&) = delete;
    CSortListCtrl& operator=(const CSortListCtrl&) = delete;

    // GUI thread: takes the list view of the dialog (its extended styles: grid
    // lines and full-row selection) and starts watching the table.
    void Attach(HWND list);
    HWND Handle() const { return m_list; }

    // Widths in pixels at 96 DPI; the list shows them at its window's DPI.
    void SetColumns(const std::array<std::string, quillane::kColumnCount>& headers,
                    const std::array<int, quillane::kColumnCount>& widths);
    // The window moved to a screen of another DPI: every column keeps its
    // share (also one the operator widened).
    void OnDpiChanged(UINT oldDpi, UINT newDpi);
    // The columns shown (the hidden marker has no width).
    std::vector<int> ShownColumns() const;
    // First selected row in table order; -1 when none.
    int FirstSelectedRow() const;
    std::vector<int> SelectedRows() const;

    // GUI thread: brings the list up to the table (row count, selection, paint).
    void CatchUp();

    // WM_NOTIFY from the list (cell texts, header clicks); true when handled.
    bool OnNotify(const NMHDR& header, LRESULT& result);

    // DeviceTableObserver: any thread, the table's lock held; only flags and queues.
    void RowsCleared() override;
    void RowAppended(int row, const quillane::DeviceRow& cells) override;
    void CellChanged(int row, int column, const std::string& text) override;
    void RowsReordered(const std::vector<quillane::DeviceRow>& rows) override;

private:
    void RequestCatchUp();
    void FillCellText(NMLVDISPINFOW& info) const;

    quillane::DeviceTable& m_table;
    GuiCallQueue& m_calls;
    HWND m_list = nullptr;
    std::array<int, quillane::kColumnCount> m_widths{};
    std::atomic<bool> m_catchUpQueued{false};
    std::atomic<bool> m_cleared{false};    // the selection belongs to rows that are gone
    std::atomic<bool> m_reordered{false};  // the selection belongs to rows that moved
    std::atomic<bool> m_cellsChanged{false};
};

}  // namespace win32
