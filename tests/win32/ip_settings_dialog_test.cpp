// The IP settings dialog on its own (no modal loop): what it opens with, the
// checks of OK with their messages, Enter on each kind of control, and the
// Keyboard button.

#include <gtest/gtest.h>

#include <cstdio>

#include "edit_ip_dlg.h"
#include "message_box.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "testing/temp_folder.h"
#include "wide_text.h"
#include "window_harness.h"

using namespace quillane;
using namespace win32;
using namespace win32::test;

namespace {

class IpDialogTest : public ::testing::Test {
protected:
    IpDialogTest() {
        SetMessageBoxHook([this](HWND owner, const std::string& text, const std::string& caption) {
            messages.push_back({text, caption});
            owners.push_back(owner);
        });
    }
    ~IpDialogTest() override { SetMessageBoxHook(nullptr); }

    std::unique_ptr<CEditIP> Open(int language, const IpDeviceValues& device = {}) {
        auto dialog = std::make_unique<CEditIP>(dir.Dir(), language, device,
                                                [this](const std::string& line) { started.push_back(line); });
        dialog->Create(GetModuleHandleW(nullptr), nullptr);
        PumpPending();
        return dialog;
    }
    static uint32_t Address(const CEditIP& dialog, int id) {
        DWORD address = 0;
        SendMessageW(dialog.Control(id), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
        return address;
    }
    static void Check(const CEditIP& dialog, int id, bool on) {
        CheckDlgButton(dialog.Handle(), id, on ? BST_CHECKED : BST_UNCHECKED);
    }
    // The dialog manager's own move of the focus: a push button that gets it becomes the default.
    static void FocusAsTabDoes(const CEditIP& dialog, int id) {
        SendMessageW(dialog.Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(dialog.Control(id)), TRUE);
    }
    static void Press(const CEditIP& dialog, int id) {
        SendMessageW(dialog.Control(id), BM_CLICK, 0, 0);
        PumpPending();
    }

    quillane::test::TempFolder dir;
    std::vector<Message> messages;
    std::vector<HWND> owners;
    std::vector<std::string> started;
};

}  // namespace

TEST_F(IpDialogTest, OkChecksTheFirstOctetsInOrderAndSavesOnlyWhenAllPass) {
    dir.Write("Ostrel.ini", "[Ostrel]\r\nEditType=7\r\nIP=-1062721535\r\n");
    auto dialog = Open(2);
    EXPECT_EQ(WindowTextUtf8(dialog->Handle()), "Modify the IP");
    EXPECT_EQ(SendMessageW(dialog->Control(kIdEditType), CB_GETCURSEL, 0, 0), 0);  // 7 is no edit type
    EXPECT_EQ(Address(*dialog, kIdEditIP), 0xC0A82801u);

    SendMessageW(dialog->Control(kIdEditIP), IPM_CLEARADDRESS, 0, 0);
    Press(*dialog, kIdOk);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "A first bit IP address is between 1~223");
    EXPECT_EQ(messages[0].caption, "Error");
    EXPECT_EQ(owners[0], dialog->Handle());
    EXPECT_EQ(dialog->EndResult(), 0);                     // still open with the operator's entries
    EXPECT_EQ(ReadIpSettings(dir.Dir()).ip, 0xC0A82801u);  // nothing written

    Check(*dialog, kIdCheckIP, false);
    Press(*dialog, kIdOk);  // the gateway (0.0.0.0) is next
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, Texts(2).msgFirstOctet[1]);
    SendMessageW(dialog->Control(kIdEditGateway), IPM_SETADDRESS, 0, 0xDF010101);  // 223.1.1.1 passes
    SendMessageW(dialog->Control(kIdEditServer), IPM_SETADDRESS, 0, 0xE0000001);   // 224.0.0.1 does not
    Press(*dialog, kIdOk);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].text, Texts(2).msgFirstOctet[2]);
    Check(*dialog, kIdCheckServer, false);
    Check(*dialog, kIdCheckBackupServer, false);
    SendMessageW(dialog->Control(kIdEditType), CB_SETCURSEL, 2, 0);
    Press(*dialog, kIdOk);
    EXPECT_EQ(dialog->EndResult(), IDOK);
    EXPECT_EQ(messages.size(), 3u);
    EXPECT_EQ(dialog->Result().ip, 0u);
    EXPECT_EQ(dialog->Result().ipCheck, 0);
    EXPECT_EQ(dialog->Result().gateway, 0xDF010101u);
    EXPECT_EQ(dialog->Result().editType, 2);
    const IpSettingsValues saved = ReadIpSettings(dir.Dir());
    EXPECT_EQ(saved.server, 0xE0000001u);
    EXPECT_EQ(saved.serverCheck, 0);
    EXPECT_EQ(saved.editType, 2);
}

// Beyond the first octets: a split mask, then an address that the shown
// device's kept /16 makes its subnet's network address. The entries stay.
TEST_F(IpDialogTest, OkRefusesSettingsThatWouldLoseTheDevice) {
    auto dialog = Open(2, IpDeviceValues{0x0AC90304, 0xFFFF0000, 0x0AC90001, 0x0AC90002, 0x0AC90003});
    SendMessageW(dialog->Control(kIdEditMask), IPM_SETADDRESS, 0, 0xFF00FF00);  // 255.0.255.0
    Press(*dialog, kIdOk);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, Texts(2).msgMaskNotContiguous);
    Check(*dialog, kIdCheckMask, false);
    SendMessageW(dialog->Control(kIdEditIP), IPM_SETADDRESS, 0, 0x0AC90000);  // 10.201.0.0
    Press(*dialog, kIdOk);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, Texts(2).msgIpNetworkAddress);
    EXPECT_EQ(dialog->EndResult(), 0);
    EXPECT_EQ(Address(*dialog, kIdEditIP), 0x0AC90000u);
}

TEST_F(IpDialogTest, OpensWithTheDevicesValuesWheneverOneIsSet) {
    dir.Write("Ostrel.ini", "[Ostrel]\r\nIP=-1062721535\r\nIPCheck=0\r\n");
    auto dialog = Open(1, IpDeviceValues{0, 0, 0xC0A82801, 0, 0});
    EXPECT_EQ(WindowTextUtf8(dialog->Handle()), "修改IP");
    EXPECT_EQ(Address(*dialog, kIdEditGateway), 0xC0A82801u);
    EXPECT_EQ(Address(*dialog, kIdEditIP), 0u);
    EXPECT_EQ(IsDlgButtonChecked(dialog->Handle(), kIdCheckIP),
              BST_UNCHECKED);  // the boxes come from the file
    EXPECT_EQ(WindowTextUtf8(dialog->Control(kIdCheckIP)), "是否修改");
    EXPECT_EQ(WindowTextUtf8(dialog->Control(kIdOctetLabel4)), "第4位( 范围(1~249) )");
    EXPECT_EQ(SendMessageW(dialog->Control(kIdEditType), CB_GETCOUNT, 0, 0), 4);

    auto fromFile = Open(1);
    EXPECT_EQ(Address(*fromFile, kIdEditIP), 0xC0A82801u);
}

// The English field labels are longer than the room the template gives them:
// they grow to the left (and to a second line when the room ends), still
// ending where their field begins, and show whole.
TEST_F(IpDialogTest, EnglishLabelsShowWholeBesideTheirFields) {
    auto chinese = Open(1);
    auto english = Open(2);
    for (int id = kIdLabelIP; id <= kIdLabelBackupServer; ++id) {
        RECT zh, en;
        GetWindowRect(chinese->Control(id), &zh);
        GetWindowRect(english->Control(id), &en);
        MapWindowPoints(HWND_DESKTOP, chinese->Handle(), reinterpret_cast<POINT*>(&zh), 2);
        MapWindowPoints(HWND_DESKTOP, english->Handle(), reinterpret_cast<POINT*>(&en), 2);
        EXPECT_EQ(en.right, zh.right) << id;
        EXPECT_GE(en.left, 0) << id;
        HWND label = english->Control(id);
        const std::wstring text = W(WindowTextUtf8(label));
        HDC dc = GetDC(label);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        RECT needed{0, 0, en.right - en.left, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK);
        SelectObject(dc, previous);
        ReleaseDC(label, dc);
        EXPECT_LE(needed.right, en.right - en.left) << id;
        EXPECT_LE(needed.bottom, en.bottom - en.top) << id;
        // Beside its field: the label's middle lies within the field's height.
        RECT field;
        GetWindowRect(english->Control(id - kIdLabelIP + kIdEditIP), &field);
        MapWindowPoints(HWND_DESKTOP, english->Handle(), reinterpret_cast<POINT*>(&field), 2);
        EXPECT_GE((en.top + en.bottom) / 2, field.top) << id;
        EXPECT_LE((en.top + en.bottom) / 2, field.bottom) << id;
    }
}

// Enter presses the focused push button; elsewhere it means OK. Enter on a
// focused Cancel never saves; Enter on Keyboard starts the keyboard.
TEST_F(IpDialogTest, EnterPressesTheFocusedButton) {
    const IpDeviceValues device{0xC0A82814, 0xFFFFFF00, 0xC0A82801, 0xC0A828FA, 0xC0A828FB};
    struct Case {
        int focused;
        INT_PTR result;
        bool saved;
    };
    for (const Case& c :
         {Case{kIdDialogCancel, IDCANCEL, false}, Case{kIdOk, IDOK, true}, Case{kIdEditType, IDOK, true}}) {
        std::remove(dir.File("Ostrel.ini").c_str());
        auto dialog = Open(1, device);
        FocusAsTabDoes(*dialog, c.focused);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
        PumpPending();
        EXPECT_EQ(dialog->EndResult(), c.result) << c.focused;
        EXPECT_EQ(!dir.Read("Ostrel.ini").empty(), c.saved) << c.focused;
    }
    auto dialog = Open(1, device);
    FocusAsTabDoes(*dialog, kIdEditKeyboard);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    PumpPending();
    EXPECT_EQ(dialog->EndResult(), 0);
    RECT button;
    GetWindowRect(dialog->Control(kIdEditKeyboard), &button);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], IpDialogKeyboardCommand(button.left, button.top));

    PostMessageW(dialog->Control(kIdEditKeyboard), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpPending();
    EXPECT_EQ(dialog->EndResult(), IDCANCEL);
}
