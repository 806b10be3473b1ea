#include "support/whole_file.h"

#include <cstdio>
#include <system_error>

#include "support/utf8_files.h"

#ifdef _WIN32
#include <windows.h>

#include "support/utf8.h"
#else
#include <unistd.h>
#endif

namespace quillane {
namespace {

std::string TemporaryNameBeside(const std::string& path) {
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    return path + ".part" + std::to_string(process);
}

bool WriteAll(const std::string& path, std::string_view content) {
    std::FILE* file = OpenFileUtf8(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    const bool flushed = std::fflush(file) == 0;
    const bool closed = std::fclose(file) == 0;
    return written && flushed && closed;
}

bool MoveInPlace(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

bool WriteWholeFile(const std::string& utf8Path, std::string_view content) {
    if (utf8Path.empty()) return false;
    const std::string temporary = TemporaryNameBeside(utf8Path);
    if (WriteAll(temporary, content) && MoveInPlace(temporary, utf8Path)) return true;
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(temporary), ignored);
    return false;
}

}  // namespace quillane
