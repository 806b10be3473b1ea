#pragma once

#include <string>
#include <string_view>

#include "support/profile.h"

namespace quillane::test {

// The text of a settings file the profile module created: every "\n" of
// `text` becomes the line end new files get on this platform.
inline std::string NewFileText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += kProfileNewFileLineEnd;
        else
            out += c;
    }
    return out;
}

}  // namespace quillane::test
