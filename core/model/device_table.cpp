#include "model/device_table.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "support/ipv4.h"

namespace quillane {

int32_t ReadDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{1} << 32) break;
    }
    if (negative) value = -value;
    value =
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(value);
}

void DeviceTable::SetObserver(DeviceTableObserver* observer) {
    std::lock_guard lock(m_mutex);
    m_observer = observer;
}

int DeviceTable::RowCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_rows.size());
}

uint64_t DeviceTable::RefusedRows() const {
    std::lock_guard lock(m_mutex);
    return m_refusedRows;
}

int DeviceTable::AppendRow() {
    return AppendRow(DeviceRow{});
}

int DeviceTable::AppendRow(const DeviceRow& cells) {
    std::lock_guard lock(m_mutex);
    const int row = static_cast<int>(m_rows.size());
    if (row >= m_capacity) {
        ++m_refusedRows;
        return -1;
    }
    m_rows.push_back(Entry{cells, 0});
    IndexRow(row);
    if (m_observer) m_observer->RowAppended(row, cells);
    return row;
}

void DeviceTable::DeleteAllRows() {
    std::lock_guard lock(m_mutex);
    // Swapped out rather than cleared: a full table's storage would otherwise stay reserved.
    std::vector<Entry>().swap(m_rows);
    decltype(m_byNumber)().swap(m_byNumber);
    m_refusedRows = 0;
    if (m_observer) m_observer->RowsCleared();
}

std::string DeviceTable::Cell(int row, int column) const {
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0 || column >= kColumnCount) return {};
    return m_rows[static_cast<size_t>(row)].cells[static_cast<size_t>(column)];
}

bool DeviceTable::SetCell(int row, int column, const std::string& text) {
    std::lock_guard lock(m_mutex);
    return SetCellLocked(row, column, text);
}

bool DeviceTable::SetCellLocked(int row, int column, const std::string& text) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0 || column >= kColumnCount)
        return false;
    if (column == kColDeviceNo) UnindexRow(row);
    m_rows[static_cast<size_t>(row)].cells[static_cast<size_t>(column)] = text;
    if (column == kColDeviceNo) IndexRow(row);
    if (m_observer) m_observer->CellChanged(row, column, text);
    return true;
}

int DeviceTable::SetCellsOfDevice(int32_t number, const std::vector<std::pair<int, std::string>>& cells) {
    std::lock_guard lock(m_mutex);
    const auto it = m_byNumber.find(number);
    if (it == m_byNumber.end() || it->second.empty()) return -1;
    const int row = it->second.front();
    for (const auto& [column, text] : cells) SetCellLocked(row, column, text);
    return row;
}

void DeviceTable::RewriteRows(const RowRewrite& rewrite) {
    std::lock_guard lock(m_mutex);
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
        for (const auto& [column, text] : rewrite(m_rows[static_cast<size_t>(row)].cells)) {
            SetCellLocked(row, column, text);
        }
    }
}

DeviceRow DeviceTable::Row(int row) const {
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
    return m_rows[static_cast<size_t>(row)].cells;
}

intptr_t DeviceTable::ItemData(int row) const {
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return 0;
    return m_rows[static_cast<size_t>(row)].itemData;
}

void DeviceTable::SetItemData(int row, intptr_t data) {
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return;
    m_rows[static_cast<size_t>(row)].itemData = data;
}

int DeviceTable::FindRowByDeviceNumber(int32_t number) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_byNumber.find(number);
    if (it == m_byNumber.end() || it->second.empty()) return -1;
    return it->second.front();
}

void DeviceTable::IndexRow(int row) {
    const std::string& text = m_rows[static_cast<size_t>(row)].cells[kColDeviceNo];
    if (text.empty()) return;
    auto& rows = m_byNumber[ReadDecimal(text)];
    rows.insert(std::lower_bound(rows.begin(), rows.end(), row), row);
}

void DeviceTable::UnindexRow(int row) {
    const std::string& text = m_rows[static_cast<size_t>(row)].cells[kColDeviceNo];
    if (text.empty()) return;
    const auto it = m_byNumber.find(ReadDecimal(text));
    if (it == m_byNumber.end()) return;
    auto& rows = it->second;
    const auto pos = std::lower_bound(rows.begin(), rows.end(), row);
    if (pos != rows.end() && *pos == row) rows.erase(pos);
    if (rows.empty()) m_byNumber.erase(it);
}

void DeviceTable::RebuildIndex() {
    m_byNumber.clear();
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) IndexRow(row);
}

int DeviceTable::CompareCells(int column, const std::string& a, const std::string& b) {
    auto sign = [](auto x, auto y) { return x < y ? -1 : (x > y ? 1 : 0); };
    switch (column) {
        case kColNo:
        case kColDeviceNo:
            return sign(ReadDecimal(a), ReadDecimal(b));
        case kColVersion:
        case kColState:
        case kColType:
            return sign(a.compare(b), 0);
        case kColIP:
        case kColMask:
        case kColGateway:
        case kColServer:
        case kColStandbyServer:
            // Text that is not an address reads as 255.255.255.255 (inet_addr's INADDR_NONE).
            return sign(IPv4Address::Parse(a), IPv4Address::Parse(b));
        default:
            return 0;
    }
}

void DeviceTable::HeaderClick(int column, bool leftButton) {
    if (!leftButton || m_bSortEnabled.load() == 0) return;
    m_bSortAscending = (column == m_nSortColumn) ? (m_bSortAscending == 0 ? 1 : 0) : 0;
    m_nSortColumn = column;

    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_rows.size(); ++i) m_rows[i].itemData = static_cast<intptr_t>(i);
    const int direction = m_bSortAscending ? 1 : -1;
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const Entry& x, const Entry& y) {
        const auto cx = static_cast<size_t>(column), cy = cx;
        if (column < 0 || column >= kColumnCount) return false;
        return CompareCells(column, x.cells[cx], y.cells[cy]) * direction < 0;
    });
    RebuildIndex();
    if (m_observer) {
        std::vector<DeviceRow> rows;
        rows.reserve(m_rows.size());
        for (const Entry& e : m_rows) rows.push_back(e.cells);
        m_observer->RowsReordered(rows);
    }
}

}  // namespace quillane
