#pragma once

// Every message box of the window: modal, an OK button only. Tests install a
// hook that records the message instead of showing it, so they read what the
// operator would see without a modal loop.

#include <windows.h>

#include <functional>
#include <string>

namespace win32 {

using MessageBoxHook = std::function<void(HWND owner, const std::string& text, const std::string& caption)>;
void SetMessageBoxHook(MessageBoxHook hook);
// Texts in UTF-8.
void ShowMessageBox(HWND owner, const std::string& text, const std::string& caption);

}  // namespace win32
