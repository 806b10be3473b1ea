// One running copy: the named mutex, and the way a later start finds the
// running main window (by title and by the window's own mark) and brings it
// to the front, restored when minimised.

#include "single_instance.h"

#include <gtest/gtest.h>

#include "window_harness.h"

using namespace win32;
using namespace win32::test;

TEST(SingleInstance, TheFirstStartOwnsTheNameUntilItEnds) {
    const std::wstring name = L"Quillane-test-" + std::to_wstring(GetCurrentProcessId());
    {
        SingleInstance first(name);
        ASSERT_TRUE(first.Claim());
        SingleInstance second(name);
        EXPECT_FALSE(second.Claim());
    }
    SingleInstance next(name);  // the first copy has ended (or crashed): the name is free again
    EXPECT_TRUE(next.Claim());
}

TEST(SingleInstance, ALaterStartRestoresTheRunningWindowAndBringsItToTheFront) {
    // A window of another program with the same title is left alone.
    HWND stranger = CreateWindowExW(0, L"STATIC", L"Quillane", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                    nullptr, nullptr, nullptr);
    ShowWindow(stranger, SW_SHOWMINIMIZED);
    WindowFixture f;
    HWND window = f.Window().Handle();
    ShowWindow(window, SW_MINIMIZE);
    PumpPending();
    ASSERT_TRUE(IsIconic(window));

    EXPECT_TRUE(RaiseRunningWindow(L"Quillane"));
    PumpPending();
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsIconic(stranger));
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window; }, 3000));
    DestroyWindow(stranger);

    EXPECT_FALSE(RaiseRunningWindow(L"No such window"));
}
