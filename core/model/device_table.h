#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillane {

// Columns of the device table; every part of the tool addresses them by index.
enum DeviceColumn : int {
    kColNo = 0,      // row number at insertion, never renumbered
    kColChoice = 1,  // "√" when the device is chosen
    kColVersion = 2,
    kColState = 3,
    kColIP = 4,
    kColMask = 5,
    kColGateway = 6,
    kColServer = 7,
    kColStandbyServer = 8,
    kColType = 9,
    kColDeviceNo = 10,  // the key that matches replies to rows
    kColMarker = 11,    // hidden: "1" while an address change awaits its answer
    kColumnCount = 12
};

inline constexpr const char* kCheckMark = "\xE2\x88\x9A";  // "√" (U+221A)

// Rows the table holds at most: a walk over a whole /16, far above any real
// installation. Anyone on the LAN can answer with made-up device numbers, so
// without a bound a flood of replies would grow the table without end.
inline constexpr int kMaxDeviceRows = 65536;

using DeviceRow = std::array<std::string, kColumnCount>;

// Receives every change of the table, in order, on the thread that made it and
// with the table's own mutex held: implementations only queue the news (a
// worker must never wait for the GUI thread) and must not call back into the table.
class DeviceTableObserver {
public:
    virtual ~DeviceTableObserver() = default;
    virtual void RowsCleared() = 0;
    virtual void RowAppended(int row, const DeviceRow& cells) = 0;
    virtual void CellChanged(int row, int column, const std::string& text) = 0;
    virtual void RowsReordered(const std::vector<DeviceRow>& rows) = 0;
};

// The device table: rows of twelve texts plus item data, with the sort rules
// of the header click. Each operation is atomic on its own; multi-step work is
// bracketed by the station's m_ListLock as the callers describe.
class DeviceTable {
public:
    explicit DeviceTable(int capacity = kMaxDeviceRows) : m_capacity(capacity) {}
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;

    void SetObserver(DeviceTableObserver* observer);

    int RowCount() const;
    // Appends a row of empty cells; returns its index.
    int AppendRow();
    // Appends a row with its cells in one step; returns its index, or -1 when
    // the table already holds its `capacity` rows: nothing is appended and the
    // refusal is counted.
    int AppendRow(const DeviceRow& cells);
    // Empties the table, gives its memory back and clears the refusal count.
    void DeleteAllRows();
    // Rows refused because the table was full, since it was last emptied.
    uint64_t RefusedRows() const;

    // "" for a row or column out of range.
    std::string Cell(int row, int column) const;
    // False (nothing written) for a row or column out of range.
    bool SetCell(int row, int column, const std::string& text);
    DeviceRow Row(int row) const;
    bool IsChosen(int row) const { return Cell(row, kColChoice) == kCheckMark; }

    intptr_t ItemData(int row) const;
    void SetItemData(int row, intptr_t data);

    // First row, in table order, whose non-empty device-number cell reads
    // (as atoi does) as `number`; -1 when none.
    int FindRowByDeviceNumber(int32_t number) const;
    // Finds the device's row as above and writes the cells, in order, in one
    // step, so a sort in between cannot move another device into the row.
    // Returns the row, or -1 (nothing written) when none matches.
    int SetCellsOfDevice(int32_t number, const std::vector<std::pair<int, std::string>>& cells);
    // Goes through the rows in table order in one step: `rewrite` sees each
    // row's cells and returns the (column, text) writes for that row. It runs
    // with the table locked and must not call back into the table.
    using RowRewrite = std::function<std::vector<std::pair<int, std::string>>(const DeviceRow&)>;
    void RewriteRows(const RowRewrite& rewrite);

    // Header click: does nothing unless left button and sorting enabled; else
    // updates the direction and column and sorts (first click descending).
    void HeaderClick(int column, bool leftButton = true);
    // Result of comparing two cells of `column`, before the direction applies.
    static int CompareCells(int column, const std::string& a, const std::string& b);

    // Sort state. m_bSortAscending/m_nSortColumn belong to the GUI thread;
    // m_bSortEnabled is cleared by the actions while a run addresses rows by index.
    int m_bSortAscending = 0;
    int m_nSortColumn = -1;
    std::atomic<int> m_bSortEnabled{1};

private:
    struct Entry {
        DeviceRow cells;
        intptr_t itemData = 0;
    };
    bool SetCellLocked(int row, int column, const std::string& text);
    void IndexRow(int row);
    void UnindexRow(int row);
    void RebuildIndex();

    const int m_capacity;
    mutable std::mutex m_mutex;
    std::vector<Entry> m_rows;
    uint64_t m_refusedRows = 0;
    // device number -> rows holding it, ascending, so the first is the table-order match
    std::unordered_map<int32_t, std::vector<int>> m_byNumber;
    DeviceTableObserver* m_observer = nullptr;
};

// atoi's reading of a decimal text: leading white space, optional sign, digits
// up to the first other character; no digits gives 0. Saturates at 32 bits.
int32_t ReadDecimal(const std::string& text);

}  // namespace quillane
