#include "window_placement.h"

#include <algorithm>

namespace win32 {

POINT CentredPosition(SIZE size, const RECT& area, const RECT& bounds) {
    LONG x = area.left + (area.right - area.left - size.cx) / 2;
    LONG y = area.top + (area.bottom - area.top - size.cy) / 2;
    // Left and top edges win when the box is larger than the bounds: the
    // caption and the system menu stay reachable.
    x = std::max(bounds.left, std::min(x, bounds.right - size.cx));
    y = std::max(bounds.top, std::min(y, bounds.bottom - size.cy));
    return POINT{x, y};
}

void CentreWindow(HWND window, HWND owner) {
    const bool overOwner = owner && IsWindowVisible(owner) && !IsIconic(owner);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(overOwner ? owner : window, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    RECT area = monitor.rcWork;
    if (overOwner) GetWindowRect(owner, &area);
    RECT box;
    GetWindowRect(window, &box);
    const POINT place = CentredPosition({box.right - box.left, box.bottom - box.top}, area, monitor.rcWork);
    SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace win32
