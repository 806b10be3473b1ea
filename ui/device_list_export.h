#pragma once

#include <QString>
#include <vector>

class CSortListCtrl;

// The device table as the Qt view shows it, for the core's export and copy.

// The columns the view shows.
std::vector<int> VisibleColumns(const CSortListCtrl& list);

// The selected rows, in table order, as tab-separated lines (no headers).
QString SelectedDevicesText(const CSortListCtrl& list);
