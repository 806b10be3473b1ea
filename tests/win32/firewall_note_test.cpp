// The main window and Windows Defender Firewall, on a fake check: the note
// line when the firewall blocks the tool or no rule covers it, in both
// languages; the system menu's entry that starts quillane-cli elevated and
// checks again; the check after a search that found no device.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "firewall_watch.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "support/utf8.h"
#include "wide_text.h"
#include "window_harness.h"

using namespace quillane;
using namespace win32;
using namespace win32::test;

namespace {

constexpr UINT kAllowFirewallCommand = 32;

// The fake firewall: its verdict, and how often the window asked.
class FakeFirewallCheck {
public:
    explicit FakeFirewallCheck(FirewallVerdict verdict) : m_verdict(verdict) {
        SetFirewallCheckHook([this](const std::string&) {
            FirewallCheck check;
            check.verdict = m_verdict.load();
            ++m_asked;
            return check;
        });
    }
    ~FakeFirewallCheck() {
        SetFirewallCheckHook(nullptr);
        SetElevatedStartHook(nullptr);
    }
    void Set(FirewallVerdict verdict) { m_verdict = verdict; }
    int Asked() const { return m_asked.load(); }

private:
    std::atomic<FirewallVerdict> m_verdict;
    std::atomic<int> m_asked{0};
};

std::string MenuText(HMENU menu, UINT item) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, item, text, static_cast<int>(std::size(text)), MF_BYCOMMAND);
    return Utf8FromWide(text);
}

}  // namespace

TEST(FirewallNote, TheNoteLineSaysWhenTheFirewallKeepsTheDevicesOut) {
    struct Case {
        FirewallVerdict verdict;
        std::string TextTable::*note;  // null: the note line's own text
    } cases[] = {
        {FirewallVerdict::kBlocked, &TextTable::noteFirewallBlocked},
        {FirewallVerdict::kUncovered, &TextTable::noteFirewallUncovered},
        {FirewallVerdict::kAllowed, nullptr},
        {FirewallVerdict::kCannotTell, nullptr},
    };
    for (int language : {1, 2}) {
        const TextTable& t = Texts(language);
        for (const Case& c : cases) {
            FakeFirewallCheck firewall(c.verdict);
            WindowFixture f(language);
            ASSERT_TRUE(PumpUntil([&] { return firewall.Asked() == 1; }));
            PumpUntil([] { return false; }, 200);  // the answer travels through the window's queue
            EXPECT_EQ(f.Text(kIdNoteLine), c.note ? t.*c.note : t.noteLine)
                << language << " " << static_cast<int>(c.verdict);
        }
    }
}

// The entry starts quillane-cli.exe beside the tool, elevated, and once it
// has ended the window asks the firewall again: allowed now, the note goes.
TEST(FirewallNote, TheSystemMenuEntryAllowsTheToolAndChecksAgain) {
    FakeFirewallCheck firewall(FirewallVerdict::kUncovered);
    std::mutex startedMutex;
    std::wstring program, parameters;
    SetElevatedStartHook([&](HWND, const std::wstring& file, const std::wstring& args) -> HANDLE {
        std::lock_guard lock(startedMutex);
        program = file;
        parameters = args;
        firewall.Set(FirewallVerdict::kAllowed);            // what the elevated run did
        return CreateEventW(nullptr, TRUE, TRUE, nullptr);  // a "process" that has ended
    });
    WindowFixture f(2);
    ASSERT_TRUE(PumpUntil([&] { return f.Text(kIdNoteLine) == Texts(2).noteFirewallUncovered; }));
    EXPECT_EQ(MenuText(GetSystemMenu(f.Window().Handle(), FALSE), kAllowFirewallCommand),
              "Allow through Windows Firewall...");

    SendMessageW(f.Window().Handle(), WM_SYSCOMMAND, kAllowFirewallCommand, 0);
    EXPECT_TRUE(PumpUntil([&] { return f.Text(kIdNoteLine) == Texts(2).noteLine; }));
    std::lock_guard lock(startedMutex);
    EXPECT_EQ(Utf8FromWide(program), f.dir.Dir() + "quillane-cli.exe");
    EXPECT_EQ(parameters, L"firewall --allow");
    EXPECT_EQ(firewall.Asked(), 2);
}

TEST(FirewallNote, TheChineseWindowOffersTheEntryInChinese) {
    FakeFirewallCheck firewall(FirewallVerdict::kAllowed);
    WindowFixture f(1);
    EXPECT_EQ(MenuText(GetSystemMenu(f.Window().Handle(), FALSE), kAllowFirewallCommand),
              Texts(1).menuAllowFirewall);
}

// A search that ends with an empty table makes the window ask again (once
// the replies have had their time); one that found devices does not.
TEST(FirewallNote, ASearchThatFoundNoDeviceChecksAgain) {
    FakeFirewallCheck firewall(FirewallVerdict::kAllowed);
    WindowFixture f(2);
    ASSERT_TRUE(PumpUntil([&] { return firewall.Asked() == 1; }));
    f.station().NotifyRunEnded(RunKind::kSearch);
    EXPECT_TRUE(PumpUntil([&] { return firewall.Asked() == 2; }, 15000));

    f.AddRow("10.0.0.5", "4711");
    ASSERT_TRUE(f.ListShowsRows(1));
    f.station().NotifyRunEnded(RunKind::kSearch);
    PumpUntil([] { return false; }, 4500);
    EXPECT_EQ(firewall.Asked(), 2);
}
