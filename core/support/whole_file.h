#pragma once

// Writing a file that other programs read (an exported list): it is replaced
// whole or not at all, so a full disk or a vanished folder never leaves half
// a file behind under the chosen name.

#include <string>
#include <string_view>

namespace quillane {

// Writes `content` to a temporary file beside `utf8Path`, then puts it in the
// place of `utf8Path` (replacing an existing file). False, with the old file
// untouched and no temporary file left, when any step fails.
bool WriteWholeFile(const std::string& utf8Path, std::string_view content);

}  // namespace quillane
