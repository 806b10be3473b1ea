#pragma once

#include <windows.h>

namespace win32 {

// The About box (template 100), from the system menu: always in Chinese, no
// handlers beyond its one button.
class CAboutDlg {
public:
    static INT_PTR Show(HINSTANCE instance, HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace win32
