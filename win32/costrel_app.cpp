#include "costrel_app.h"

#include <commctrl.h>

#include "costrel_dlg.h"
#include "model/texts.h"
#include "single_instance.h"
#include "support/exe_dir.h"
#include "wide_text.h"

namespace win32 {

int RunApplication(HINSTANCE instance, const std::wstring& instanceName) {
    SingleInstance single(instanceName);
    if (!single.Claim()) {
        // Chinese title first, then the English one (both read "Quillane" today).
        if (!RaiseRunningWindow(W(quillane::Texts(1).windowTitle)))
            RaiseRunningWindow(W(quillane::Texts(2).windowTitle));
        return 0;
    }
    // The basic set of common controls, and the IP address control the
    // windows need beside it.
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    COstrelDlg window(quillane::ExecutableDirectory(), quillane::StationNetwork{}, instance);
    window.DoModal();
    return 0;
}

}  // namespace win32
