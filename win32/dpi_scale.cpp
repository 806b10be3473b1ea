#include "dpi_scale.h"

namespace win32 {
namespace {

// Looked up at run time: Windows 10 1607 and later have them, and the
// programs still start on older systems, at the system's DPI.
template <class Function>
Function User32Function(const char* name) {
    static HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                  : nullptr;
}

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (window && getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window); dpi > 0) return dpi;
    }
    return SystemDpi();
}

int ScaleForDpi(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

int SystemMetricForDpi(int index, UINT dpi) {
    using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
    static const auto forDpi = User32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

HICON LoadIconForDpi(HINSTANCE instance, int id, int widthMetric, int heightMetric, UINT dpi) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         SystemMetricForDpi(widthMetric, dpi),
                                         SystemMetricForDpi(heightMetric, dpi), 0));
}

}  // namespace win32
