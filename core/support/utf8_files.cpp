#include "support/utf8_files.h"

#ifdef _WIN32
#include "support/utf8.h"
#endif

namespace quillane {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
#ifdef _WIN32
    return std::filesystem::path(WideFromUtf8(utf8));
#else
    return std::filesystem::path(std::string(utf8));
#endif
}

std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return Utf8FromWide(path.native());
#else
    return path.native();
#endif
}

std::FILE* OpenFileUtf8(const std::string& utf8Path, const char* mode) {
#ifdef _WIN32
    return _wfopen(WideFromUtf8(utf8Path).c_str(), WideFromUtf8(mode).c_str());
#else
    return std::fopen(utf8Path.c_str(), mode);
#endif
}

bool ReadWholeFileUtf8(const std::string& utf8Path, std::string& content) {
    std::FILE* file = OpenFileUtf8(utf8Path, "rb");
    if (!file) return false;
    content.clear();
    char buffer[1 << 14];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    const bool whole = std::ferror(file) == 0;
    std::fclose(file);
    return whole;
}

}  // namespace quillane
