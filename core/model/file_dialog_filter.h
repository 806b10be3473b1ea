#pragma once

// The one filter of each file dialog the windows show, as both toolkits need
// it: the label the operator reads (its pattern in parentheses at the end),
// the pattern the dialog matches and the extension it adds to a name typed
// without one.

#include <string>

namespace quillane {

struct FileDialogFilter {
    std::string label;      // "CSV files (*.csv)"
    std::string pattern;    // "*.csv"
    std::string extension;  // "csv", without the dot
};

// Open (the firmware file): the label is the pattern in parentheses alone, as designed.
FileDialogFilter FirmwareFileFilter();
// "Export list...": the CSV file, labelled in the window's language.
FileDialogFilter DeviceListFileFilter(int language);

}  // namespace quillane
