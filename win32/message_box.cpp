#include "message_box.h"

#include "wide_text.h"

namespace win32 {
namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

void ShowMessageBox(HWND owner, const std::string& text, const std::string& caption) {
    if (Hook()) {
        Hook()(owner, text, caption);
        return;
    }
    MessageBoxW(owner, W(text).c_str(), W(caption).c_str(), MB_OK);
}

}  // namespace win32
