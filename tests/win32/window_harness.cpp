#include "window_harness.h"

#include <chrono>

#include "message_box.h"
#include "model/control_ids.h"
#include "support/utf8.h"
#include "wide_text.h"

using namespace quillane;

namespace win32::test {
namespace {

std::function<void()>& PendingAction() {
    static std::function<void()> action;
    return action;
}

void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    std::function<void()> action = std::move(PendingAction());
    PendingAction() = nullptr;
    if (action) action();
}

}  // namespace

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        PumpPending();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void AfterDelay(int delayMs, std::function<void()> action) {
    PendingAction() = std::move(action);
    SetTimer(nullptr, 0, static_cast<UINT>(delayMs), RunPendingAction);
}

HWND FindThreadDialog(int controlId, const std::wstring& title) {
    struct Search {
        int id;
        std::wstring title;
        HWND found = nullptr;
    } search{controlId, title};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            if (!GetDlgItem(window, s.id)) return TRUE;  // (a modal box shows itself once its loop idles)
            if (!s.title.empty() && W(WindowTextUtf8(window)) != s.title) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ListCell(HWND list, int row, int column) {
    wchar_t buffer[512] = {};
    ListView_GetItemText(list, row, column, buffer, static_cast<int>(std::size(buffer)));
    return Utf8FromWide(buffer);
}

WindowFixture::WindowFixture(int language, StationNetwork network,
                             const std::function<void(Station&)>& beforeCreate) {
    dir.Write("Config.ini", "[LANGUAGE]\r\nCurLanguage=" + std::to_string(language) + "\r\n");
    SetMessageBoxHook([this](HWND, const std::string& text, const std::string& caption) {
        messages.push_back({text, caption});
    });
    window = std::make_unique<COstrelDlg>(dir.Dir(), network);
    station().m_startHelperProgram = [this](const std::string& line) { started.push_back(line); };
    if (beforeCreate) beforeCreate(station());
    window->Create();
    PumpPending();
}

WindowFixture::~WindowFixture() {
    window.reset();
    PumpPending();
    SetMessageBoxHook(nullptr);
}

std::string WindowFixture::Text(int id) const {
    return WindowTextUtf8(Control(id));
}

void WindowFixture::Click(int id) const {
    SendMessageW(Control(id), BM_CLICK, 0, 0);
}

void WindowFixture::AddRow(const std::string& ip, const std::string& number) {
    DeviceRow row;
    row[kColIP] = ip;
    row[kColDeviceNo] = number;
    station().m_DeviceList.AppendRow(row);
}

bool WindowFixture::ListShowsRows(int rows) const {
    return PumpUntil([&] { return ListView_GetItemCount(List()) == rows; });
}

std::vector<std::string> WindowFixture::Column(int column) const {
    std::vector<std::string> texts;
    for (int row = 0; row < ListView_GetItemCount(List()); ++row)
        texts.push_back(ListCell(List(), row, column));
    return texts;
}

}  // namespace win32::test
