#pragma once

// Initialisation ("ini") files with the semantics of the Windows private-profile
// calls: "[Section]" lines open sections, "key=value" lines hold values, names
// are matched without regard to (ASCII) case or to blanks at either end (and
// written without them), the first matching section and key win, and new keys
// go after the last key of their section, so keys stay in first-written order.
//
// Every write edits only the lines it concerns; every other byte of the file
// (comments, unknown keys, other sections, blank lines, line ends) stays as it
// was. The new content goes to a temporary file beside the target, which then
// replaces it by rename, so a crash mid-write never loses the file. A folder
// that refuses new files (settings files made writable in a locked folder) gets
// its existing file rewritten in place instead.
//
// Line ends: an existing file keeps the style of its first line end; lines
// added to a new file or to one without any line end end in "\r\n" on Windows
// and "\n" elsewhere. Files written on Windows read the same everywhere.
//
// Damaged files: lines that are neither sections nor keys are skipped, so a
// damaged, empty or binary file gives the defaults of what it does not hold,
// and a write to it still changes only its own key (appending the section if
// none is found). A file larger than kMaxProfileFileBytes, a UTF-16 file or an
// unreadable one holds no values and is never rewritten: writes to it fail.
//
// Paths are UTF-8 text; doubled separators ("dir//Quillane.ini") are fine.
// All calls are thread-safe.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillane {

// Line end of the lines added to a new file (or one without any line end).
#ifdef _WIN32
inline constexpr std::string_view kProfileNewFileLineEnd = "\r\n";
#else
inline constexpr std::string_view kProfileNewFileLineEnd = "\n";
#endif

// Far above any settings file the tool writes (about 1 KB).
inline constexpr size_t kMaxProfileFileBytes = 1u << 20;

// Reads a 32-bit integer: optional white space, optional sign, then "0x"
// hexadecimal or decimal digits up to the first other character; the value
// wraps to 32 bits, so "-1062721535" and "0xC0A82801" read alike. Text without
// digits reads 0. A missing key or file, or an empty value, gives `def`.
int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key, int32_t def);

// Reads a value as text (surrounding white space and one pair of enclosing
// quotes removed), cut to at most `maxChars` characters (UTF-8 sequences are
// never split). A missing key or file gives `def`, cut alike.
std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view def, size_t maxChars);

// Sets a key, creating the file, the section or the key as needed; a null value
// removes the key (a missing key or file is left as it is). A value with
// blanks at either end or enclosing quotes is written inside double quotes, so
// ReadProfileString gives it back unchanged. Returns false when
// nothing was written: bad names or values (empty names, line breaks, NUL, "]"
// in a section or "=" in a key), a file above the size limit, or an I/O error.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::optional<std::string> value);

// Several keys of one section in one write, applied in order.
struct ProfileEntry {
    std::string key;
    std::optional<std::string> value;
};
bool WriteProfileStrings(const std::string& path, std::string_view section,
                         std::span<const ProfileEntry> entries);

// The integer rule of ReadProfileInt applied to a text.
int32_t ParseProfileInt(std::string_view text);

}  // namespace quillane
