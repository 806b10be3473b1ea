#pragma once

// Sizes given in pixels for a 96-DPI screen, scaled to a window's DPI. The
// process is per-monitor DPI aware (its manifest), so Windows scales the
// dialog templates and the fonts but nothing a program sizes in pixels itself:
// the list's column widths, icons, margins. At 96 DPI every size stays as given.

#include <windows.h>

namespace win32 {

inline constexpr UINT kBaseDpi = 96;

// The DPI of the monitor the window is on (the system's DPI on systems that
// know no per-monitor DPI, before Windows 10 1607).
UINT WindowDpi(HWND window);
// PIXELS at 96 DPI, at DPI (rounded to the nearest pixel).
int ScaleForDpi(int pixels, UINT dpi);
// A system metric (SM_CXICON, ...) at DPI.
int SystemMetricForDpi(int index, UINT dpi);
// Icon resource ID in the size of the metrics (SM_CXICON and SM_CYICON, or
// the small ones) at DPI; the caller destroys it.
HICON LoadIconForDpi(HINSTANCE instance, int id, int widthMetric, int heightMetric, UINT dpi);

}  // namespace win32
