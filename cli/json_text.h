#pragma once

#include <string>

namespace quillane::cli {

// `text` (UTF-8) as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace quillane::cli
