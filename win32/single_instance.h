#pragma once

// One running copy per user session: the first start creates the named mutex
// and keeps it for the life of the process; a later start finds the mutex,
// brings the running main window to the front and ends.

#include <windows.h>

#include <string>

namespace win32 {

class SingleInstance {
public:
    explicit SingleInstance(std::wstring name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this start owns the name; false when another copy holds it
    // (also when both started at the same moment and the other created it first).
    bool Claim();

private:
    std::wstring m_name;
    HANDLE m_mutex = nullptr;
};

// Brings the running copy's main window to the front, restored if it was
// minimised: the top-level window titled `title` that carries the main
// window's mark. False when none is found (the copy may still be starting).
bool RaiseRunningWindow(const std::wstring& title);

}  // namespace win32
