#pragma once

#include <string>

namespace quillane {

// A message box for the operator: its text and caption, in the window's language.
struct MessageBoxText {
    std::string text;
    std::string caption;
};

}  // namespace quillane
