#pragma once

#include <string>

namespace quillane {

// Whether `path` (UTF-8) names an existing regular file, or a link to one.
// An empty path, a folder or a device is not a file to serve.
bool IsExistingFile(const std::string& path);

}  // namespace quillane
