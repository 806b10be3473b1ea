#include "json_text.h"

#include <cstdio>

#include "support/utf8.h"

namespace quillane::cli {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    // A name from the file system need not be UTF-8; a JSON text must be.
    for (unsigned char c : WellFormedUtf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace quillane::cli
