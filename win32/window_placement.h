#pragma once

// Where a dialog opens that does not place itself: centred over its owner
// (the IP settings dialog and the About box over the main window), or on the
// screen when it has none or the owner is hidden or minimised (the main
// window), and always kept inside that screen's work area.

#include <windows.h>

namespace win32 {

void CentreWindow(HWND window, HWND owner);

// The centred position of a SIZE box over AREA, moved inside BOUNDS as far as it fits.
POINT CentredPosition(SIZE size, const RECT& area, const RECT& bounds);

}  // namespace win32
