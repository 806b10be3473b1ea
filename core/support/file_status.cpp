#include "support/file_status.h"

#include <filesystem>
#include <system_error>

namespace quillane {

bool IsExistingFile(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    // Taken as UTF-8 on every platform (a plain string would be the ANSI code page on Windows).
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    return std::filesystem::is_regular_file(name, error);
}

}  // namespace quillane
