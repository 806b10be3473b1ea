#include "about_dlg.h"

#include "model/control_ids.h"
#include "window_placement.h"

namespace win32 {

INT_PTR CAboutDlg::Show(HINSTANCE instance, HWND owner) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(quillane::kIdAboutDialog), owner, DialogProc, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CentreWindow(window, GetWindow(window, GW_OWNER));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(window, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace win32
