#pragma once

#include <string>

namespace quillane::cli {

// `text` as a JSON string literal, quotes included; bytes that are not
// well-formed UTF-8 become U+FFFD, so the literal is always valid JSON.
std::string JsonString(const std::string& text);

}  // namespace quillane::cli
