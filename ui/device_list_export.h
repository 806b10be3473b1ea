#pragma once

#include <QString>

class CSortListCtrl;

// The device table for other programs. Both take the rows as the table shows
// them (current order) and the columns it shows.

// Writes every row, headers first, as a CSV file for spreadsheets (UTF-8 with
// a byte-order mark). The file is replaced whole or not at all; false when it
// could not be written.
bool ExportDeviceList(const CSortListCtrl& list, const QString& path);

// The selected rows, in table order, as tab-separated lines (no headers).
QString SelectedDevicesText(const CSortListCtrl& list);
