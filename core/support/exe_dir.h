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

// A settings file in the folder `appDir` (with or without a final separator).
std::string SettingsFilePath(const std::string& appDir, const std::string& fileName);

}  // namespace quillane
