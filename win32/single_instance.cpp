#include "single_instance.h"

#include "costrel_dlg.h"

namespace win32 {

SingleInstance::SingleInstance(std::wstring name) : m_name(std::move(name)) {}

// The application keeps its instance until the process ends, as the system
// would; tests let theirs go.
SingleInstance::~SingleInstance() {
    if (m_mutex) CloseHandle(m_mutex);
}

bool SingleInstance::Claim() {
    if (HANDLE running = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, m_name.c_str())) {
        CloseHandle(running);
        return false;
    }
    m_mutex = CreateMutexW(nullptr, TRUE, m_name.c_str());
    // Started at the same moment as another copy that created it first: that one runs.
    if (m_mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(m_mutex);
        m_mutex = nullptr;
        return false;
    }
    // Without a mutex at all the tool still runs, as a copy nobody can find.
    return true;
}

bool RaiseRunningWindow(const std::wstring& title) {
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, title.c_str()); window;
         window = FindWindowExW(nullptr, window, nullptr, title.c_str())) {
        if (!GetPropW(window, kMainWindowProperty)) continue;  // a window of another program
        if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return true;
    }
    return false;
}

}  // namespace win32
