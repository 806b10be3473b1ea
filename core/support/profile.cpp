#include "support/profile.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "support/utf8_files.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillane {
namespace {

namespace fs = std::filesystem;

// One lock for every profile file: the window thread and the command loop both
// write "Quillane.ini", and each write is a read-modify-replace.
std::mutex& ProfileMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr std::string_view kNewFileLineEnd = kProfileNewFileLineEnd;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

enum class LineKind { Other, Section, Key };

// One line of the file: [begin, end) is its content without the line end,
// `next` the start of the following line.
struct Line {
    size_t begin = 0, end = 0, next = 0;
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

Line ClassifyLine(std::string_view bytes, size_t begin, size_t end, size_t next) {
    Line line;
    line.begin = begin;
    line.end = end;
    line.next = next;
    std::string_view content = bytes.substr(begin, end - begin);
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    if (begin == 0 && content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);  // UTF-8 mark
    content = Trim(content);
    if (content.empty() || content.front() == ';') return line;
    if (content.front() == '[') {
        const size_t close = content.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = Trim(content.substr(1, close - 1));
            return line;
        }
    }
    const size_t equals = content.find('=');
    if (equals != std::string_view::npos) {
        line.kind = LineKind::Key;
        line.name = Trim(content.substr(0, equals));
        line.value = Trim(content.substr(equals + 1));
    }
    return line;
}

std::vector<Line> SplitLines(std::string_view bytes) {
    std::vector<Line> lines;
    size_t begin = 0;
    while (begin < bytes.size()) {
        const size_t newline = bytes.find('\n', begin);
        const size_t end = newline == std::string_view::npos ? bytes.size() : newline;
        const size_t next = newline == std::string_view::npos ? bytes.size() : newline + 1;
        lines.push_back(ClassifyLine(bytes, begin, end, next));
        begin = next;
    }
    return lines;
}

// Where a key lives: indices into the lines, or -1.
struct KeyLocation {
    long section = -1;  // header of the first matching section
    long key = -1;      // first matching key in it
    long lastKey = -1;  // last key line of that section (new keys go after it)
};

// Names are matched as the lines hold them: without blanks at either end.
KeyLocation Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    KeyLocation where;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Section) {
            if (where.section >= 0) break;  // the first matching section ends here
            if (SameName(line.name, section)) where.section = static_cast<long>(i);
        } else if (line.kind == LineKind::Key && where.section >= 0) {
            where.lastKey = static_cast<long>(i);
            if (where.key < 0 && SameName(line.name, key)) where.key = static_cast<long>(i);
        }
    }
    return where;
}

std::string_view DetectLineEnd(std::string_view bytes) {
    const size_t newline = bytes.find('\n');
    if (newline == std::string_view::npos) return kNewFileLineEnd;
    return (newline > 0 && bytes[newline - 1] == '\r') ? std::string_view("\r\n") : std::string_view("\n");
}

enum class LoadResult { Loaded, Missing, Unusable };

LoadResult LoadFile(const std::string& path, std::string& bytes) {
    std::error_code ec;
    const fs::path file = PathFromUtf8(path);
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) return LoadResult::Missing;
    if (ec || !fs::is_regular_file(status)) return LoadResult::Unusable;
    const uintmax_t size = fs::file_size(file, ec);
    if (ec || size > kMaxProfileFileBytes) return LoadResult::Unusable;
    std::ifstream in(file, std::ios::binary);
    if (!in) return LoadResult::Unusable;
    bytes.assign(static_cast<size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(in.gcount()));
    // A UTF-16 file (saved by a Windows editor as "Unicode") would be garbled
    // by the 8-bit lines a write adds: leave it alone.
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return LoadResult::Unusable;
    return LoadResult::Loaded;
}

std::optional<std::string> FindValue(const std::string& path, std::string_view section,
                                     std::string_view key) {
    std::lock_guard<std::mutex> lock(ProfileMutex());
    std::string bytes;
    if (LoadFile(path, bytes) != LoadResult::Loaded) return std::nullopt;
    const std::vector<Line> lines = SplitLines(bytes);
    const KeyLocation where = Locate(lines, section, key);
    if (where.key < 0) return std::nullopt;
    return std::string(lines[static_cast<size_t>(where.key)].value);
}

// Removes one pair of matching enclosing quotes, as the profile reader does.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Bytes of the character at `at`: a UTF-8 sequence as far as its lead byte
// announces and continuation bytes follow; any other byte (a stray
// continuation byte of a damaged file) is a character of its own, so a cut to
// n characters never holds more than 4n bytes.
size_t CharLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead >= 0xF8) return 1;
    const size_t announced = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    size_t length = 1;
    while (length < announced && at + length < text.size() && (byte(at + length) & 0xC0) == 0x80) ++length;
    return length;
}

std::string CutToChars(std::string_view text, size_t maxChars) {
    size_t end = 0;
    for (size_t chars = 0; end < text.size() && chars < maxChars; ++chars) end += CharLength(text, end);
    return std::string(text.substr(0, end));
}

// Reads trim blanks and drop one pair of enclosing quotes; a value that would
// lose something that way is written inside double quotes, so it reads back
// exactly.
std::string QuoteIfNeeded(const std::string& value) {
    if (value.empty()) return value;
    const bool blankEdge = IsBlank(value.front()) || IsBlank(value.back());
    if (blankEdge || Unquote(value).size() != value.size()) return "\"" + value + "\"";
    return value;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool ValidNames(std::string_view section, std::string_view key) {
    if (Trim(section).empty() || HasLineBreakOrNul(section) || section.find(']') != std::string_view::npos)
        return false;
    const std::string_view name = Trim(key);
    if (name.empty() || HasLineBreakOrNul(key) || key.find('=') != std::string_view::npos) return false;
    return name.front() != '[' && name.front() != ';';  // would read as a section or a comment
}

// Applies one entry to the file's bytes; only the lines of that key change.
void ApplyEntry(std::string& bytes, std::string_view section, const ProfileEntry& entry,
                std::string_view lineEnd) {
    const std::vector<Line> lines = SplitLines(bytes);
    const KeyLocation where = Locate(lines, section, entry.key);
    if (!entry.value) {
        if (where.key >= 0) {
            const Line& line = lines[static_cast<size_t>(where.key)];
            bytes.erase(line.begin, line.next - line.begin);
        }
        return;
    }
    if (where.key >= 0) {
        const Line& line = lines[static_cast<size_t>(where.key)];
        std::string_view content(bytes.data() + line.begin, line.end - line.begin);
        const size_t keepCr = content.ends_with('\r') ? 1 : 0;
        const std::string replacement = std::string(line.name) + "=" + QuoteIfNeeded(*entry.value);
        bytes.replace(line.begin, line.end - line.begin - keepCr, replacement);
        return;
    }
    const std::string keyLine = std::string(Trim(entry.key)) + "=" + QuoteIfNeeded(*entry.value);
    if (where.section >= 0) {
        const long after = where.lastKey >= 0 ? where.lastKey : where.section;
        const Line& line = lines[static_cast<size_t>(after)];
        if (line.next == line.end) {  // last line without a line end
            bytes.insert(line.next, std::string(lineEnd) + keyLine);
        } else {
            bytes.insert(line.next, keyLine + std::string(lineEnd));
        }
        return;
    }
    if (!bytes.empty() && bytes.back() != '\n') bytes += lineEnd;
    bytes += "[" + std::string(Trim(section)) + "]" + std::string(lineEnd) + keyLine + std::string(lineEnd);
}

// A name for the temporary file beside the target, unique in this process and
// across processes.
std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const long pid = _getpid();
#else
    const long pid = static_cast<long>(getpid());
#endif
    return target + ".tmp" + std::to_string(pid) + "-" + std::to_string(counter.fetch_add(1));
}

#ifndef _WIN32
bool WriteAll(int fd, const std::string& bytes) {
    for (size_t written = 0; written < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}
#endif

// The folder may refuse new files (an installation folder whose settings files
// were made writable for operators): then the existing file is rewritten in
// place, as the platform's profile calls do. The new bytes go over the old
// ones before the file is cut to their length, so a failure never leaves it empty.
bool WriteInPlace(const std::string& target, const std::string& bytes) {
#ifdef _WIN32
    FILE* out = OpenFileUtf8(target, "r+b");
    if (out == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    ok = std::fflush(out) == 0 && ok;
    ok = ok && _chsize_s(_fileno(out), static_cast<__int64>(bytes.size())) == 0;
    ok = _commit(_fileno(out)) == 0 && ok;
    ok = std::fclose(out) == 0 && ok;
    return ok;
#else
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes);
    ok = ok && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    ok = ok && fsync(fd) == 0;
    if (close(fd) != 0) ok = false;
    return ok;
#endif
}

bool FolderRefusesNewFiles(int error) {
    return error == EACCES || error == EPERM;
}

// Writes `bytes` to a temporary file beside `target`, flushes it to disk and
// renames it over the target.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    std::string target = path;
    if (fs::is_symlink(PathFromUtf8(path), ec)) {  // replace what the link points to, keep the link
        const fs::path resolved = fs::canonical(PathFromUtf8(path), ec);
        if (ec) return false;
        target = Utf8FromPath(resolved);
    }
    const std::string temporary = TemporaryName(target);
#ifdef _WIN32
    FILE* out = OpenFileUtf8(temporary, "wb");
    if (out == nullptr) {
        const int error = errno;
        return FolderRefusesNewFiles(error) && fs::is_regular_file(PathFromUtf8(target), ec) &&
               WriteInPlace(target, bytes);
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    ok = std::fflush(out) == 0 && ok;
    ok = _commit(_fileno(out)) == 0 && ok;  // to disk before the rename
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        fs::remove(PathFromUtf8(temporary), ec);
        return false;
    }
#else
    mode_t mode = 0666;
    struct stat existing {};
    const bool targetExists = stat(target.c_str(), &existing) == 0;
    if (targetExists) mode = existing.st_mode & 07777;
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        const int error = errno;
        return FolderRefusesNewFiles(error) && targetExists && S_ISREG(existing.st_mode) &&
               WriteInPlace(target, bytes);
    }
    bool ok = WriteAll(fd, bytes);
    if (ok && fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
#endif
    fs::rename(PathFromUtf8(temporary), PathFromUtf8(target), ec);  // replaces the target atomically
    if (ec) {
        fs::remove(PathFromUtf8(temporary), ec);
        return false;
    }
    return true;
}

}  // namespace

int32_t ParseProfileInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (IsBlank(text[i]) || text[i] == '\r' || text[i] == '\n')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    uint32_t value = 0;  // wraps modulo 2^32, like the platform's reader
    for (; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (base == 16 && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') {
            digit = static_cast<uint32_t>(LowerAscii(c) - 'a' + 10);
        } else {
            break;
        }
        value = value * base + digit;
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key, int32_t def) {
    const std::optional<std::string> value = FindValue(path, section, key);
    if (!value || value->empty()) return def;
    return ParseProfileInt(Unquote(*value));
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view def, size_t maxChars) {
    const std::optional<std::string> value = FindValue(path, section, key);
    return CutToChars(value ? Unquote(*value) : def, maxChars);
}

bool WriteProfileStrings(const std::string& path, std::string_view section,
                         std::span<const ProfileEntry> entries) {
    for (const ProfileEntry& entry : entries) {
        if (!ValidNames(section, entry.key)) return false;
        if (entry.value && HasLineBreakOrNul(*entry.value)) return false;
    }
    std::lock_guard<std::mutex> lock(ProfileMutex());
    std::string bytes;
    if (LoadFile(path, bytes) == LoadResult::Unusable) return false;
    const std::string original = bytes;
    const std::string_view lineEnd = DetectLineEnd(original);
    for (const ProfileEntry& entry : entries) ApplyEntry(bytes, Trim(section), entry, lineEnd);
    if (bytes == original) return true;
    return ReplaceFile(path, bytes);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::optional<std::string> value) {
    const ProfileEntry entry{std::string(key), std::move(value)};
    return WriteProfileStrings(path, section, std::span<const ProfileEntry>(&entry, 1));
}

}  // namespace quillane
