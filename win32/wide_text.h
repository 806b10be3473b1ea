#pragma once

// The core's texts are UTF-8; every Windows call here takes UTF-16.

#include <windows.h>

#include <string>

#include "support/utf8.h"

namespace win32 {

inline std::wstring W(const std::string& utf8) {
    return quillane::WideFromUtf8(utf8);
}

// A window's text (a caption, an edit field's contents) as UTF-8.
inline std::string WindowTextUtf8(HWND window) {
    if (!window) return {};
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return quillane::Utf8FromWide(text);
}

}  // namespace win32
