#pragma once

// Files named by UTF-8 text, the core's narrow encoding. On Windows the name
// reaches the wide-character file calls (a narrow call would read it in the
// ANSI code page and miss every file under a folder with, say, Chinese
// characters); elsewhere the name's bytes are the file name.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillane {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen for a UTF-8 name; null when the file cannot be opened.
std::FILE* OpenFileUtf8(const std::string& utf8Path, const char* mode);

// The file's bytes; false when it cannot be opened or read to its end.
bool ReadWholeFileUtf8(const std::string& utf8Path, std::string& content);

}  // namespace quillane
