// The native main window on a station without services (or with services
// on loopback ports only): captions of both faces, the template's layout,
// the controls' handlers, the device list over the core table, and the order
// in which worker calls reach the window.

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "dpi_scale.h"
#include "model/control_ids.h"
#include "model/device_types.h"
#include "model/texts.h"
#include "support/utf8.h"
#include "wide_text.h"
#include "window_harness.h"

using namespace quillane;
using namespace win32;
using namespace win32::test;

namespace {

double Dpi(const WindowFixture& f) {
    return WindowDpi(f.List());
}

std::string MenuText(HMENU menu, UINT item, UINT by) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, item, text, static_cast<int>(std::size(text)), by);
    return Utf8FromWide(text);
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = Utf8FromWide(wide);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Typed into the address control's four fields, as the operator types.
void TypeAddress(HWND control, const std::string& dotted) {
    std::vector<HWND> fields;
    for (HWND field = FindWindowExW(control, nullptr, L"Edit", nullptr); field;
         field = FindWindowExW(control, field, L"Edit", nullptr)) {
        fields.push_back(field);
    }
    ASSERT_EQ(fields.size(), 4u);
    size_t field = 0;
    std::string octet;
    auto type = [&](const std::string& text) {
        SetWindowTextW(fields[field], L"");
        for (char c : text) SendMessageW(fields[field], WM_CHAR, static_cast<WPARAM>(c), 0);
    };
    for (char c : dotted + ".") {
        if (c != '.') {
            octet += c;
            continue;
        }
        type(octet);
        octet.clear();
        ++field;
    }
}

// The width a caption takes in the control's own font (check boxes: beside their box).
int CaptionWidth(HWND control) {
    const std::wstring text = W(WindowTextUtf8(control));
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT box{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    const bool checkBox = (GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    return box.right + (checkBox ? GetSystemMetrics(SM_CXMENUCHECK) : 0);
}

struct Layout {
    int id;
    int x, y, width, height;  // dialog units; height 0: not compared (a drop-down list's includes its list)
};

void ExpectLayout(HWND dialog, const std::vector<Layout>& layout) {
    for (const Layout& l : layout) {
        HWND control = GetDlgItem(dialog, l.id);
        ASSERT_NE(control, nullptr) << l.id;
        // Position and size are converted apart, as the dialog manager does.
        RECT place{l.x, l.y, l.width, l.height};
        MapDialogRect(dialog, &place);
        const RECT expected{place.left, place.top, place.left + place.right, place.top + place.bottom};
        RECT actual;
        GetWindowRect(control, &actual);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left) << l.id;
        EXPECT_EQ(actual.top, expected.top) << l.id;
        EXPECT_EQ(actual.right, expected.right) << l.id;
        if (l.height > 0) EXPECT_EQ(actual.bottom, expected.bottom) << l.id;
    }
}

}  // namespace

TEST(MainWindow, EnglishFaceShowsItsCaptions) {
    WindowFixture f(2);
    const TextTable& t = Texts(2);
    EXPECT_EQ(WindowTextUtf8(f.Window().Handle()), "Quillane");
    struct Caption {
        int id;
        std::string text;
    };
    for (const Caption& c :
         {Caption{kIdFind, "Find"}, Caption{kIdKeyboard, "Keyboard"}, Caption{kIdModifyIP, "Modify IP"},
          Caption{kIdSelectAll, "Select all"}, Caption{kIdCancel, "Cancel"}, Caption{kIdOpen, "Open"},
          Caption{kIdUpgrade, "Upgrade"}, Caption{kIdTypeLabel, "Device type:"},
          Caption{kIdFileLabel, "File path:"}, Caption{kIdPlayDev, "Play terminal"},
          Caption{kIdAmpMonitorDev, "Power amplifier monitor card"}, Caption{kIdNoteLine, t.noteLine}}) {
        EXPECT_EQ(f.Text(c.id), c.text) << c.id;
    }
    HWND combo = f.Control(kIdFindType);
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    wchar_t item[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(Utf8FromWide(item), "Specified IP");

    HWND header = ListView_GetHeader(f.List());
    ASSERT_EQ(Header_GetItemCount(header), kColumnCount);
    for (int column = 0; column < kColumnCount; ++column) {
        wchar_t text[64] = {};
        HDITEMW hd{};
        hd.mask = HDI_TEXT;
        hd.pszText = text;
        hd.cchTextMax = static_cast<int>(std::size(text));
        Header_GetItem(header, column, &hd);
        EXPECT_EQ(Utf8FromWide(text), t.columnHeaders[static_cast<size_t>(column)]) << column;
        // Widths are given for 96 DPI and shown at the window's (within a pixel).
        EXPECT_NEAR(ListView_GetColumnWidth(f.List(), column),
                    t.columnWidths[static_cast<size_t>(column)] * Dpi(f) / 96.0, 1)
            << column;
    }
    EXPECT_NEAR(ListView_GetColumnWidth(f.List(), kColChoice), 45 * Dpi(f) / 96.0, 1);
    EXPECT_EQ(ListView_GetColumnWidth(f.List(), kColMarker), 0);

    // The boxes were drawn for the Chinese captions: the English ones are
    // fitted into them (a smaller font where needed), none is cut off.
    std::vector<int> fitted{kIdKeyboard,  kIdFind,   kIdModifyIP,  kIdOpen,     kIdUpgrade,
                            kIdSelectAll, kIdCancel, kIdTypeLabel, kIdFileLabel};
    for (const DeviceType& type : kDeviceTypes)
        if (type.boxId != kIdSmallPoxSoundBoxDev) fitted.push_back(type.boxId);
    for (int id : fitted) {
        RECT box;
        GetClientRect(f.Control(id), &box);
        EXPECT_LE(CaptionWidth(f.Control(id)), box.right) << id << " " << f.Text(id);
    }
    // The note line is far longer than its box: it ends in "..." rather than cut off unseen.
    EXPECT_TRUE(GetWindowLongPtrW(f.Control(kIdNoteLine), GWL_STYLE) & SS_ENDELLIPSIS);
}

TEST(MainWindow, ChineseFaceShowsItsCaptionsAndTheWindowsOwnParts) {
    WindowFixture f(1);
    EXPECT_EQ(f.Text(kIdFind), "查找");
    EXPECT_EQ(f.Text(kIdModifyIP), "修改IP");
    EXPECT_EQ(f.Text(kIdPowerManageDev), "电源管理控制卡");
    EXPECT_EQ(f.Text(kIdNoteLine), Texts(1).noteLine);
    EXPECT_NEAR(ListView_GetColumnWidth(f.List(), kColChoice), 32 * Dpi(f) / 96.0, 1);
    wchar_t header[64] = {};
    HDITEMW hd{};
    hd.mask = HDI_TEXT;
    hd.pszText = header;
    hd.cchTextMax = 64;
    Header_GetItem(ListView_GetHeader(f.List()), kColIP, &hd);
    EXPECT_EQ(Utf8FromWide(header), "IP地址");

    // The About entry of the system menu comes from string 101, and agrees with the core's text.
    HMENU systemMenu = GetSystemMenu(f.Window().Handle(), FALSE);
    EXPECT_EQ(MenuText(systemMenu, 16, MF_BYCOMMAND), About().menuEntry);
    // Icon 128 is the window's icon and its drag icon.
    const auto big = reinterpret_cast<HICON>(SendMessageW(f.Window().Handle(), WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(big, nullptr);
    EXPECT_NE(SendMessageW(f.Window().Handle(), WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(f.Window().Handle(), WM_QUERYDRAGICON, 0, 0)), big);

    // A report list over the core table (owner data: it holds no rows itself),
    // grid lines and full-row selection and nothing else.
    const LONG_PTR style = GetWindowLongPtrW(f.List(), GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(style & LVS_OWNERDATA);
    EXPECT_EQ(ListView_GetExtendedListViewStyle(f.List()),
              static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_FALSE(IsWindowVisible(f.Control(kIdSmallPoxSoundBoxDev)));
    EXPECT_FALSE(f.Enabled(kIdFilePath));
    // Automatic search: the range is off.
    EXPECT_FALSE(f.Enabled(kIdStartIP));
    EXPECT_EQ(f.Window().FindTypeSelection(), 0);
}

TEST(MainWindow, ControlsSitWhereTheTemplatePutsThem) {
    WindowFixture f;
    HWND window = f.Window().Handle();
    RECT client{0, 0, 439, 297};
    MapDialogRect(window, &client);
    RECT actual;
    GetClientRect(window, &actual);
    EXPECT_EQ(actual.right, client.right);
    EXPECT_EQ(actual.bottom, client.bottom);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    ExpectLayout(window, {{kIdFindType, 4, 8, 58, 0},
                          {kIdStartIP, 65, 6, 92, 15},
                          {kIdEndIP, 167, 6, 92, 15},
                          {kIdKeyboard, 263, 7, 42, 14},
                          {kIdFind, 310, 7, 42, 14},
                          {kIdModifyIP, 357, 7, 42, 14},
                          {kIdTypeLabel, 0, 28, 37, 8},
                          {kIdPlayDev, 39, 28, 54, 10},
                          {kIdMorePlayDev, 95, 28, 59, 10},
                          {kIdPowerDev, 157, 28, 62, 10},
                          {kIdSoundBoxDev, 223, 28, 48, 10},
                          {kIdAlarmDev, 273, 28, 50, 10},
                          {kIdTelCallDev, 324, 28, 50, 10},
                          {kIdSoundCollectionDev, 376, 28, 62, 10},
                          {kIdAmpMonitorDev, 38, 42, 115, 10},
                          {kIdPowerManageDev, 157, 43, 112, 10},
                          {kIdSenseInterfaceDev, 273, 44, 103, 10},
                          {kIdSmallPoxSoundBoxDev, 381, 45, 43, 10},
                          {kIdFileLabel, 2, 58, 35, 8},
                          {kIdFilePath, 38, 56, 214, 14},
                          {kIdOpen, 253, 56, 42, 14},
                          {kIdUpgrade, 300, 56, 42, 14},
                          {kIdSelectAll, 347, 56, 42, 14},
                          {kIdCancel, 394, 56, 42, 14},
                          {kIdDeviceList, 4, 78, 434, 190},
                          {kIdProgress, 3, 270, 433, 14},
                          {kIdNoteLine, 4, 286, 430, 8}});
}

TEST(MainWindow, FindChecksTheRangeAndTheTypes) {
    WindowFixture f;
    HWND combo = f.Control(kIdFindType);
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SendMessageW(f.Window().Handle(), WM_COMMAND, MAKEWPARAM(kIdFindType, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    EXPECT_TRUE(f.Enabled(kIdStartIP));
    EXPECT_TRUE(f.Enabled(kIdEndIP));
    EXPECT_NE(f.dir.Read("Quillane.ini").find("CurFindType=1"), std::string::npos);

    TypeAddress(f.Control(kIdStartIP), "192.168.1.200");
    TypeAddress(f.Control(kIdEndIP), "192.168.1.10");
    EXPECT_EQ(f.Window().RangeStart(), 0xC0A801C8u);  // mirrored for the command loop
    EXPECT_EQ(f.Window().RangeEnd(), 0xC0A8010Au);
    f.Click(kIdFind);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, "开始IP必需小于结束IP");
    EXPECT_EQ(f.messages[0].caption, "错误");
    EXPECT_EQ(f.station().m_bSearchRequest.load(), 0);

    // Blank fields read 0: start 1.0.0.0 lies below the end.
    SendMessageW(f.Control(kIdStartIP), IPM_CLEARADDRESS, 0, 0);
    TypeAddress(f.Control(kIdStartIP), "1...");
    EXPECT_EQ(f.Window().RangeStart(), 0x01000000u);
    // Every visible type box off: the hidden box's flag still lets Find go on, off too it does not.
    for (const DeviceType& type : kDeviceTypes) {
        if (type.boxId != kIdSmallPoxSoundBoxDev) f.Click(type.boxId);
    }
    f.Click(kIdFind);
    EXPECT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.station().m_bSearchRequest.load(), 1);
    f.station().m_bSearchRequest = 0;
    f.station().m_bSmallPoxSoundBoxDev = 0;
    f.Click(kIdFind);
    ASSERT_EQ(f.messages.size(), 2u);
    EXPECT_EQ(f.messages[1].text, "请选择设备类型");
}

TEST(MainWindow, TypeBoxClickChangesTheFilterAndItsSetting) {
    WindowFixture f;
    EXPECT_EQ(IsDlgButtonChecked(f.Window().Handle(), kIdAlarmDev), BST_CHECKED);
    f.Click(kIdAlarmDev);
    EXPECT_EQ(IsDlgButtonChecked(f.Window().Handle(), kIdAlarmDev), BST_UNCHECKED);
    EXPECT_EQ(f.station().m_bAlarmDev.load(), 0);
    EXPECT_NE(f.dir.Read("Quillane.ini").find("AlarmDev=0"), std::string::npos);
}

TEST(MainWindow, OpenShowsTheFirmwareFilterAndKeepsTheChosenPath) {
    WindowFixture f(2);
    OPENFILENAMEW seen{};
    std::wstring filter, extension;
    std::wstring answer = L"C:\\固件\\unit.bin";
    f.Window().m_runOpenDialog = [&](OPENFILENAMEW& dialog) {
        seen = dialog;
        extension = dialog.lpstrDefExt;
        const wchar_t* end = dialog.lpstrFilter;
        while (*end || *(end + 1)) ++end;
        filter.assign(dialog.lpstrFilter, end + 1);
        wcscpy(dialog.lpstrFile, answer.c_str());
        return true;
    };
    f.Click(kIdOpen);
    EXPECT_EQ(filter, std::wstring(L"(*.bin)\0*.bin\0", 14));  // one entry: label, then pattern
    EXPECT_EQ(extension, L"bin");
    EXPECT_TRUE(seen.Flags & OFN_HIDEREADONLY);
    EXPECT_TRUE(seen.Flags & OFN_OVERWRITEPROMPT);
    EXPECT_EQ(seen.hwndOwner, f.Window().Handle());
    EXPECT_EQ(f.Text(kIdFilePath), "C:\\固件\\unit.bin");
    EXPECT_EQ(f.station().UpdateFile(), "C:\\固件\\unit.bin");
    EXPECT_NE(f.dir.Read("Quillane.ini").find("UpdateProPath=C:\\固件\\unit.bin"), std::string::npos);

    f.Window().m_runOpenDialog = [](OPENFILENAMEW&) { return false; };  // cancelled
    f.Click(kIdOpen);
    EXPECT_EQ(f.Text(kIdFilePath), "C:\\固件\\unit.bin");
}

TEST(MainWindow, KeyboardStartsTheHelperBesideTheRangeEnd) {
    WindowFixture f;
    f.Click(kIdKeyboard);
    RECT end;
    GetWindowRect(f.Control(kIdEndIP), &end);
    ASSERT_EQ(f.started.size(), 1u);
    EXPECT_EQ(f.started[0], KeyboardCommandLine(end.left + 55, end.top + 60));
}

TEST(MainWindow, ListShowsTheTableAndClicksToggleTheMark) {
    WindowFixture f;
    f.AddRow("10.0.0.1", "1");
    f.AddRow("10.0.0.2", "2");
    ASSERT_TRUE(f.ListShowsRows(2));
    EXPECT_EQ(f.Column(kColIP), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));

    // A click on the second row's Choice cell: the list selects it and tells the window.
    RECT cell{};
    ListView_GetSubItemRect(f.List(), 1, kColChoice, LVIR_BOUNDS, &cell);
    const LPARAM at = MAKELPARAM(cell.left + 4, (cell.top + cell.bottom) / 2);
    auto click = [&] {
        PostMessageW(f.List(), WM_LBUTTONUP, 0, at);
        SendMessageW(f.List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PumpPending();
    };
    click();
    EXPECT_EQ(f.station().m_DeviceList.Cell(1, kColChoice), kCheckMark);
    EXPECT_EQ(f.Column(kColChoice), (std::vector<std::string>{"", kCheckMark}));
    click();
    EXPECT_EQ(f.Column(kColChoice), (std::vector<std::string>{"", ""}));

    f.station().m_bUpgrading = 1;  // rows are addressed by index during an upgrade: no change
    click();
    EXPECT_EQ(f.Column(kColChoice), (std::vector<std::string>{"", ""}));
    f.station().m_bUpgrading = 0;

    f.Click(kIdSelectAll);
    EXPECT_EQ(f.Column(kColChoice), (std::vector<std::string>{kCheckMark, kCheckMark}));
    f.Click(kIdCancel);
    EXPECT_EQ(f.Column(kColChoice), (std::vector<std::string>{"", ""}));
}

TEST(MainWindow, HeaderClicksSortByTheTablesRules) {
    WindowFixture f;
    f.AddRow("192.168.1.9", "9");
    f.AddRow("192.168.1.10", "10");
    f.AddRow("192.168.1.2", "2");
    ASSERT_TRUE(f.ListShowsRows(3));
    auto clickHeader = [&](int column) {
        NMLISTVIEW click{};
        click.hdr = {f.List(), static_cast<UINT_PTR>(kIdDeviceList), static_cast<UINT>(LVN_COLUMNCLICK)};
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(f.Window().Handle(), WM_NOTIFY, kIdDeviceList, reinterpret_cast<LPARAM>(&click));
        PumpPending();
    };
    clickHeader(kColIP);  // first click: descending
    EXPECT_EQ(f.Column(kColIP), (std::vector<std::string>{"192.168.1.10", "192.168.1.9", "192.168.1.2"}));
    clickHeader(kColIP);
    EXPECT_EQ(f.Column(kColIP), (std::vector<std::string>{"192.168.1.2", "192.168.1.9", "192.168.1.10"}));
    clickHeader(kColDeviceNo);
    EXPECT_EQ(f.Column(kColDeviceNo), (std::vector<std::string>{"10", "9", "2"}));

    f.station().m_DeviceList.m_bSortEnabled = 0;  // a run addresses rows by index
    clickHeader(kColIP);
    EXPECT_EQ(f.Column(kColDeviceNo), (std::vector<std::string>{"10", "9", "2"}));
}

// The file holds what the table shows: its order, its shown columns under
// their headers, Chinese texts readable by a spreadsheet.
TEST(MainWindow, ExportListWritesTheShownTableAsCsv) {
    WindowFixture f(1);
    DeviceRow row;
    row[kColType] = "播放终端";
    row[kColState] = "say \"hi\", twice";
    row[kColMarker] = "1";
    int added = 0;
    for (const auto& [ip, number] : {std::pair{"10.0.0.9", "9"}, {"10.0.0.10", "10"}, {"10.0.0.2", "2"}}) {
        row[kColNo] = std::to_string(++added);
        row[kColIP] = ip;
        row[kColDeviceNo] = number;
        f.station().m_DeviceList.AppendRow(row);
    }
    f.station().m_DeviceList.HeaderClick(kColIP);  // .10, .9, .2

    OPENFILENAMEW seen{};
    std::wstring filter, extension;
    f.Window().m_runSaveDialog = [&](OPENFILENAMEW& dialog) {
        seen = dialog;
        extension = dialog.lpstrDefExt;
        const wchar_t* end = dialog.lpstrFilter;
        while (*end || *(end + 1)) ++end;
        filter.assign(dialog.lpstrFilter, end + 1);
        wcscpy(dialog.lpstrFile, W(f.dir.File("列表.csv")).c_str());
        return true;
    };
    f.Window().AskAndExportList();
    EXPECT_EQ(filter, std::wstring(L"CSV 文件 (*.csv)\0*.csv\0", 21));
    EXPECT_EQ(extension, L"csv");
    EXPECT_TRUE(seen.Flags & OFN_OVERWRITEPROMPT);
    EXPECT_TRUE(f.messages.empty());
    EXPECT_EQ(
        f.dir.Read("列表.csv"),
        "\xEF\xBB\xBF"
        "序号,选择,版本号,状态,IP地址,子网掩码,默认网关,服务器IP地址,备用服务器IP地址,设备类型,设备号\r\n"
        "2,,,\"say \"\"hi\"\", twice\",10.0.0.10,,,,,播放终端,10\r\n"
        "1,,,\"say \"\"hi\"\", twice\",10.0.0.9,,,,,播放终端,9\r\n"
        "3,,,\"say \"\"hi\"\", twice\",10.0.0.2,,,,,播放终端,2\r\n");

    // A file that cannot be written is reported, and nothing is left behind.
    f.Window().ExportListTo(f.dir.File("no\\such\\folder\\list.csv"));
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, "无法写入该文件");
    EXPECT_EQ(f.messages[0].caption, "错误");
}

TEST(MainWindow, CtrlCCopiesTheSelectedRowsAndTheMenuOffersBoth) {
    WindowFixture f(2);
    f.AddRow("10.0.0.1", "1");
    f.AddRow("10.0.0.2", "2");
    f.AddRow("10.0.0.3", "3");
    ASSERT_TRUE(f.ListShowsRows(3));

    HMENU menu = f.Window().BuildTableMenu();
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(MenuText(menu, 0, MF_BYPOSITION), "Export list...");
    EXPECT_EQ(MenuText(menu, 1, MF_BYPOSITION), "Copy\tCtrl+C");
    EXPECT_TRUE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_GRAYED);  // nothing selected yet
    DestroyMenu(menu);

    ListView_SetItemState(f.List(), 2, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(f.List(), 0, LVIS_SELECTED, LVIS_SELECTED);
    menu = f.Window().BuildTableMenu();
    EXPECT_FALSE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_GRAYED);
    DestroyMenu(menu);

    SetFocus(f.List());
    BYTE keys[256];
    GetKeyboardState(keys);
    BYTE withControl[256];
    memcpy(withControl, keys, sizeof keys);
    withControl[VK_CONTROL] = 0x80;
    SetKeyboardState(withControl);
    SendMessageW(f.List(), WM_KEYDOWN, 'C', 0);
    SetKeyboardState(keys);
    EXPECT_EQ(ClipboardText(),
              "\t\t\t\t10.0.0.1\t\t\t\t\t\t1\r\n"
              "\t\t\t\t10.0.0.3\t\t\t\t\t\t3\r\n");
}

// Escape, and Enter outside a push button, run the closing procedure: refused
// during an upgrade, the window stays; a focused button takes Enter as a press.
TEST(MainWindow, EnterAndEscapeRunTheClosingProcedure) {
    WindowFixture f;
    f.station().m_bUpgrading = 1;
    SetFocus(f.List());
    PostMessageW(f.List(), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpPending();
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, "升级完成再关闭");
    EXPECT_EQ(f.messages[0].caption, "提示");
    SendMessageW(f.Window().Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(f.messages.size(), 2u);
    EXPECT_FALSE(f.Window().Ended());
    EXPECT_TRUE(IsWindow(f.Window().Handle()));

    f.station().m_bUpgrading = 0;
    f.AddRow("10.0.0.1", "1");
    ASSERT_TRUE(f.ListShowsRows(1));
    SendMessageW(f.Window().Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(f.Control(kIdSelectAll)), TRUE);
    PostMessageW(f.Control(kIdSelectAll), WM_KEYDOWN, VK_RETURN, 0);
    PumpPending();
    EXPECT_EQ(f.station().m_DeviceList.Cell(0, kColChoice), kCheckMark);
    EXPECT_FALSE(f.Window().Ended());

    SendMessageW(f.Window().Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(f.List()), TRUE);
    PostMessageW(f.List(), WM_KEYDOWN, VK_RETURN, 0);
    PumpPending();
    EXPECT_TRUE(f.Window().Ended());
    EXPECT_EQ(f.Window().Handle(), nullptr);
}

TEST(MainWindow, AboutBoxComesFromTheSystemMenuInChinese) {
    WindowFixture f(2);
    std::string title, text, ok;
    AfterDelay(50, [&] {
        HWND about = FindThreadDialog(IDOK, W(About().title));
        if (!about) return;
        title = WindowTextUtf8(about);
        ok = WindowTextUtf8(GetDlgItem(about, IDOK));
        for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t className[32] = {};
            GetClassNameW(child, className, 32);
            if (wcscmp(className, L"Static") == 0 && GetWindowTextLengthW(child) > 0)
                text = WindowTextUtf8(child);
        }
        SendMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageW(f.Window().Handle(), WM_SYSCOMMAND, 16, 0);  // returns when the box has closed
    EXPECT_EQ(title, About().title);
    EXPECT_EQ(text, About().text);
    EXPECT_EQ(ok, About().ok);
}

// Worker calls are queued and return at once; a call the window's thread
// makes applies the queued ones first, so the last call made wins.
TEST(MainWindow, WorkerCallsAreQueuedInOrderAndNeverWait) {
    WindowFixture f;
    std::thread worker([&] {
        f.Window().EnableControl(kIdFind, false);
        f.Window().SetCaption(kIdUpgrade, "停止");
        f.Window().SetProgress(45);
        f.Window().ShowMessage("late", "Hint");
        f.Window().SetCaption(kIdModifyIP, "from the worker");
        EXPECT_EQ(f.Window().FindTypeSelection(), 0);
    });
    worker.join();  // returned although the window's thread has run nothing yet
    EXPECT_TRUE(f.Enabled(kIdFind));
    EXPECT_TRUE(f.messages.empty());

    f.Window().SetCaption(kIdModifyIP, "from the window");
    EXPECT_FALSE(f.Enabled(kIdFind));
    EXPECT_EQ(f.Text(kIdUpgrade), "停止");
    EXPECT_EQ(SendMessageW(f.Control(kIdProgress), PBM_GETPOS, 0, 0), 45);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, "late");
    PumpPending();
    EXPECT_EQ(f.Text(kIdModifyIP), "from the window");
}

// A worker clears, appends and writes cells while the window sorts: once the
// news has arrived the list shows exactly the table's rows.
TEST(MainWindow, ListFollowsAWorkerThroughAFullTable) {
    WindowFixture f;
    DeviceTable& table = f.station().m_DeviceList;
    std::atomic<bool> sorting{true}, done{false};
    std::thread worker([&] {
        for (int round = 0; round < 10; ++round) {
            table.DeleteAllRows();
            for (int i = 0; i < 40; ++i) {
                DeviceRow row;
                row[kColIP] = "10.0." + std::to_string(round) + "." + std::to_string(i);
                row[kColDeviceNo] = std::to_string((i * 7) % 40);
                const int index = table.AppendRow(row);
                table.SetCell(index / 2, kColState, std::to_string(i) + "%");
            }
        }
        sorting = false;  // a full table's sort is the benchmark's business
        for (int i = table.RowCount(); i < kMaxDeviceRows; ++i) table.AppendRow(DeviceRow{});
        DeviceRow last;
        last[kColIP] = "10.255.255.255";
        EXPECT_EQ(table.AppendRow(last), -1);  // full
        table.SetCell(kMaxDeviceRows - 1, kColIP, "10.1.255.255");
        done = true;
    });
    int column = kColNo;
    while (sorting) {
        table.HeaderClick(column);
        column = column == kColDeviceNo ? kColNo : column + 1;
        PumpPending();
    }
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 60000));
    worker.join();
    ASSERT_TRUE(f.ListShowsRows(kMaxDeviceRows));
    EXPECT_EQ(ListCell(f.List(), kMaxDeviceRows - 1, kColIP), "10.1.255.255");
    for (int row = 0; row < 40; ++row) {
        for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(ListCell(f.List(), row, c), table.Cell(row, c));
    }
}

// The executable carries what Windows and the window load from it: icon 128,
// the version, and the manifest that selects the version 6 common controls.
TEST(MainWindow, ResourcesCarryTheIconTheVersionAndTheManifest) {
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(128), RT_GROUP_ICON), nullptr);
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION), nullptr);
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
    for (int dialog : {kIdAboutDialog, kIdMainWindow, kIdIpSettingsDialog})
        EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(dialog), RT_DIALOG), nullptr) << dialog;

    // The manifest takes effect: the process's activation context sends
    // comctl32.dll to the version 6 assembly.
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof redirection;
    EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                         L"comctl32.dll", &redirection));
}
