#pragma once

#ifdef _WIN32
// winsock2.h first, or windows.h brings the old socket header.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on
#endif

namespace quillane::test {

// Whether the Windows tests run under wine (on Linux) rather than on Windows.
// Wine passes every socket call through its server: a test of a hundred
// thousand datagrams that takes seconds on Windows takes many minutes there.
inline bool RunsUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace quillane::test
