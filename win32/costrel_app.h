#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// The application: one running copy (a later start brings the running
// window to the front and ends), the common controls, and the main window
// run modally with the tool's real network. Returns the process's exit code.
int RunApplication(HINSTANCE instance, const std::wstring& instanceName = L"Quillane");

}  // namespace win32
