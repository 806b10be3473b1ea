#pragma once

// What the tests of the native window share: a message pump with a bound, a
// main window in a folder of its own (no service, or services on loopback
// ports only), and readers of its controls and list cells.

// windows.h first: the headers that build on it need it before them.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "costrel_dlg.h"
#include "station/station.h"
#include "testing/temp_folder.h"

namespace win32::test {

struct Message {
    std::string text, caption;
};

// Runs the thread's messages (dialog keys as a dialog's own loop would) until
// `done` holds or `timeoutMs` passed; returns whether it holds.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Runs whatever is waiting now.
void PumpPending();

// Calls `action` from the thread's message loop once, after `delayMs`: for
// acting on a modal window while the code that opened it waits.
void AfterDelay(int delayMs, std::function<void()> action);

// The top-level window of this thread that holds a control with `id`, titled `title` if given.
HWND FindThreadDialog(int controlId, const std::wstring& title = {});

std::string ListCell(HWND list, int row, int column);

// A main window in a fresh folder with the given language, created without a
// loop of its own; message boxes and helper programs are recorded, not shown
// or started.
class WindowFixture {
public:
    explicit WindowFixture(int language = 1, quillane::StationNetwork network = NoServices(),
                           const std::function<void(quillane::Station&)>& beforeCreate = {});
    ~WindowFixture();

    static quillane::StationNetwork NoServices() {
        quillane::StationNetwork network;
        network.startServices = false;
        return network;
    }

    COstrelDlg& Window() { return *window; }
    quillane::Station& station() { return window->GetStation(); }
    HWND Control(int id) const { return window->Control(id); }
    HWND List() const { return window->Control(1000); }
    std::string Text(int id) const;
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    // A click as BM_CLICK makes it: the button's own press and release.
    void Click(int id) const;
    void AddRow(const std::string& ip, const std::string& number);
    // The list's rows once it has caught up with the table.
    bool ListShowsRows(int rows) const;
    std::vector<std::string> Column(int column) const;

    quillane::test::TempFolder dir;
    std::vector<Message> messages;
    std::vector<std::string> started;  // helper programs' command lines
    std::unique_ptr<COstrelDlg> window;
};

}  // namespace win32::test
