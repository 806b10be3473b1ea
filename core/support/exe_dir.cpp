#include "support/exe_dir.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>

#include "support/utf8.h"
#else
#include <limits.h>
#include <unistd.h>
#endif

namespace quillane {

std::string ExecutablePath() {
#ifdef _WIN32
    // Paths may be longer than MAX_PATH; a full buffer means the name was cut.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> buffer(size);
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0) return {};
        if (n < size) return Utf8FromWide(std::wstring_view(buffer.data(), n));
    }
    return {};
#else
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<size_t>(n));
#endif
}

std::string SettingsFilePath(const std::string& appDir, const std::string& fileName) {
    if (appDir.empty()) return fileName;
    const char last = appDir.back();
    if (last == '/' || last == '\\') return appDir + fileName;
    return appDir + kPathSeparator + fileName;
}

std::string ExecutableDirectory() {
    const std::string path = ExecutablePath();
    const size_t cut = path.find_last_of(kPathSeparator);
    if (cut == std::string::npos) return std::string(1, kPathSeparator);
    return path.substr(0, cut + 1);
}

}  // namespace quillane
