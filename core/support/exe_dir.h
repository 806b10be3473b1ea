#pragma once

#include <string>

namespace quillane {

// Full path of the running executable (UTF-8), or "" when unknown.
std::string ExecutablePath();
// Its folder, ending in the path separator; settings files live there.
std::string ExecutableDirectory();

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

}  // namespace quillane
