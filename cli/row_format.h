#pragma once

// The device rows as the search command prints them: every column of the
// window's table but the hidden marker, as an aligned table, CSV or JSON.

#include <string>
#include <vector>

#include "arguments.h"
#include "model/device_table.h"

namespace quillane::cli {

// Headers are the window's column headers in `language`; JSON uses fixed
// English keys whatever the language.
std::string FormatRows(const std::vector<DeviceRow>& rows, OutputFormat format, int language);

// Columns a terminal needs for the UTF-8 text: two for each East Asian wide
// character (the Chinese texts), one for every other character.
size_t DisplayWidth(const std::string& text);

}  // namespace quillane::cli
