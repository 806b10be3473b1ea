// The window at its screen's DPI (the test prefix's LogPixels: 96 in one run,
// 144 in another, QUILLANE_TEST_DPI says which) and a move to a screen of
// another DPI; where the main window, the IP settings dialog and the About
// box open.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dpi_scale.h"
#include "edit_ip_dlg.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "wide_text.h"
#include "window_harness.h"
#include "window_placement.h"

using namespace quillane;
using namespace win32;
using namespace win32::test;

namespace {

POINT Centre(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

RECT WindowBox(HWND window) {
    RECT box{};
    GetWindowRect(window, &box);
    return box;
}

void ExpectCentredOver(HWND window, const RECT& area) {
    const POINT centre = Centre(WindowBox(window));
    EXPECT_NEAR(centre.x, Centre(area).x, 1);
    EXPECT_NEAR(centre.y, Centre(area).y, 1);
}

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

std::vector<int> ColumnWidths(HWND list) {
    std::vector<int> widths;
    for (int column = 0; column < kColumnCount; ++column)
        widths.push_back(ListView_GetColumnWidth(list, column));
    return widths;
}

}  // namespace

// The process declares itself DPI aware, so it sees the screen's real DPI
// (an unaware one would be told 96 and drawn blurred, scaled by the system).
TEST(Dpi, TheWindowSeesTheScreensDpi) {
    const char* screen = std::getenv("QUILLANE_TEST_DPI");
    WindowFixture f(2);
    EXPECT_EQ(WindowDpi(f.Window().Handle()), screen ? static_cast<UINT>(std::stoul(screen)) : kBaseDpi);
    // The window's icons in the sizes of that DPI.
    const UINT dpi = WindowDpi(f.Window().Handle());
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(f.Window().Handle(), WM_GETICON, ICON_BIG, 0))),
              SystemMetricForDpi(SM_CXICON, dpi));
    EXPECT_EQ(
        IconWidth(reinterpret_cast<HICON>(SendMessageW(f.Window().Handle(), WM_GETICON, ICON_SMALL, 0))),
        SystemMetricForDpi(SM_CXSMICON, dpi));
}

// Moved to a screen with half as many pixels again per inch: the window takes
// the rectangle the system suggests, the columns (also one the operator
// widened) grow by half, the icons are made for the new DPI.
TEST(Dpi, AMoveToAScreenOfAnotherDpiRescalesWhatIsSizedInPixels) {
    WindowFixture f(2);
    HWND window = f.Window().Handle();
    ListView_SetColumnWidth(f.List(), kColIP, 150);
    const std::vector<int> before = ColumnWidths(f.List());
    const UINT dpi = WindowDpi(window) * 3 / 2;
    RECT suggested{40, 30, 40 + 1000, 30 + 760};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    PumpPending();
    const RECT now = WindowBox(window);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    EXPECT_EQ(now.right, suggested.right);
    EXPECT_EQ(now.bottom, suggested.bottom);
    const std::vector<int> after = ColumnWidths(f.List());
    for (int column = 0; column < kColumnCount; ++column)
        EXPECT_NEAR(after[static_cast<size_t>(column)], before[static_cast<size_t>(column)] * 1.5, 1)
            << column;
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0))),
              SystemMetricForDpi(SM_CXICON, dpi));
}

TEST(Placement, CentredPositionKeepsTheBoxOnTheScreen) {
    const RECT screen{0, 0, 1280, 1000};
    struct Case {
        SIZE size;
        RECT area;
        POINT expected;
    } cases[] = {
        {{200, 100}, {100, 100, 700, 500}, {300, 250}},     // over its owner
        {{200, 100}, screen, {540, 450}},                   // no owner: the screen's middle
        {{400, 300}, {-300, 0, 100, 200}, {0, 0}},          // owner half off the left edge
        {{400, 300}, {1100, 900, 1500, 1200}, {880, 700}},  // ... and off the bottom right
        {{1400, 1100}, screen, {0, 0}},                     // larger than the screen: caption stays in sight
    };
    for (const Case& c : cases) {
        const POINT place = CentredPosition(c.size, c.area, screen);
        EXPECT_EQ(place.x, c.expected.x) << c.area.left << "," << c.area.top;
        EXPECT_EQ(place.y, c.expected.y) << c.area.left << "," << c.area.top;
    }
}

TEST(Placement, TheMainWindowOpensInTheMiddleOfItsScreen) {
    WindowFixture f(2);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(f.Window().Handle(), MONITOR_DEFAULTTONEAREST), &monitor));
    ExpectCentredOver(f.Window().Handle(), monitor.rcWork);
}

// Both open over the middle of the main window, wherever it stands, not at
// its top-left corner over the search controls.
TEST(Placement, TheIpSettingsDialogAndTheAboutBoxOpenCentredOverTheMainWindow) {
    WindowFixture f(2);
    HWND window = f.Window().Handle();
    SetWindowPos(window, nullptr, 20, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RECT owner = WindowBox(window);

    CEditIP dialog(f.dir.Dir(), 2, IpDeviceValues{}, {});
    ASSERT_NE(dialog.Create(GetModuleHandleW(nullptr), window), nullptr);
    PumpPending();
    ExpectCentredOver(dialog.Handle(), owner);

    RECT about{};
    AfterDelay(50, [&] {
        HWND box = FindThreadDialog(IDOK, W(About().title));
        if (!box) return;
        about = WindowBox(box);
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageW(window, WM_SYSCOMMAND, 16, 0);  // returns when the box has closed
    ASSERT_GT(about.right, about.left) << "the About box did not open";
    EXPECT_NEAR(Centre(about).x, Centre(owner).x, 1);
    EXPECT_NEAR(Centre(about).y, Centre(owner).y, 1);
}
