#include "costrel_dlg.h"

#include <commctrl.h>
#include <windowsx.h>

#include <vector>

#include "about_dlg.h"
#include "dpi_scale.h"
#include "edit_ip_dlg.h"
#include "message_box.h"
#include "model/control_ids.h"
#include "model/device_list_text.h"
#include "model/device_types.h"
#include "model/texts.h"
#include "support/exe_dir.h"
#include "wide_text.h"
#include "window_placement.h"

using namespace quillane;

namespace win32 {
namespace {

constexpr int kMainTemplateId = 102;
constexpr int kIconId = 128;
constexpr UINT kAboutStringId = 101;
constexpr UINT kAboutCommand = 16;          // the system menu's About entry
constexpr UINT kAllowFirewallCommand = 32;  // "Allow through Windows Firewall..."
constexpr UINT_PTR kFirewallAfterSearchTimer = 1;
// Replies may still come after the probes are out: the firewall is asked
// about an empty table only once the search has had time to fill it.
constexpr UINT kFirewallAfterSearchMs = 3000;
constexpr UINT kMenuExportList = 1;
constexpr UINT kMenuCopy = 2;
// Long enough for any path Windows accepts.
constexpr size_t kPathBufferLength = 32768;

// Shows a file dialog through RUN (tests put their own in) and returns the
// chosen name; FLAGS add to those both dialogs share.
std::optional<std::string> ChooseFile(const FileDialogRunner& run, HWND owner, const FileDialogFilter& shown,
                                      DWORD flags) {
    std::wstring filter = W(shown.label);
    filter += L'\0';
    filter += W(shown.pattern);
    filter += L'\0';  // the string's own terminator ends the list
    const std::wstring extension = W(shown.extension);
    std::vector<wchar_t> file(kPathBufferLength, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags =
        OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | flags;
    if (!run(dialog) || file[0] == L'\0') return std::nullopt;
    return Utf8FromWide(file.data());
}

// The clipboard's text ends lines with CR LF.
std::wstring WithCrLf(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (wchar_t c : text) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}

bool PutOnClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool placed = false;
    if (memory) {
        if (void* target = GlobalLock(memory)) {
            memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!placed) GlobalFree(memory);  // the clipboard owns it only once placed
    }
    CloseClipboard();
    return placed;
}

}  // namespace

COstrelDlg::COstrelDlg(std::string appDir, StationNetwork network, HINSTANCE instance)
    : m_instance(instance ? instance : GetModuleHandleW(nullptr)) {
    LoadIcons(WindowDpi(nullptr));
    m_runOpenDialog = [](OPENFILENAMEW& dialog) { return GetOpenFileNameW(&dialog) != 0; };
    m_runSaveDialog = [](OPENFILENAMEW& dialog) { return GetSaveFileNameW(&dialog) != 0; };
    m_station = std::make_unique<Station>(*this, std::move(appDir), network);
    m_DeviceList = std::make_unique<CSortListCtrl>(m_station->m_DeviceList, m_calls);
}

COstrelDlg::~COstrelDlg() {
    m_station->SetRunObserver(nullptr);  // no search end is told from here on
    m_firewall.reset();
    if (m_hWnd) DestroyWindow(m_hWnd);  // a window without a loop of its own that was left open
    m_DeviceList.reset();
    // The station stops its workers here; what they still tell the window is dropped.
    m_station.reset();
    if (m_hIcon) DestroyIcon(m_hIcon);
    if (m_hSmallIcon) DestroyIcon(m_hSmallIcon);
}

INT_PTR COstrelDlg::DoModal() {
    m_modal = true;
    return DialogBoxParamW(m_instance, MAKEINTRESOURCEW(kMainTemplateId), nullptr, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

HWND COstrelDlg::Create() {
    m_modal = false;
    HWND window = CreateDialogParamW(m_instance, MAKEINTRESOURCEW(kMainTemplateId), nullptr, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (window) ShowWindow(window, SW_SHOW);
    return window;
}

HWND COstrelDlg::Control(int id) const {
    if (!m_hWnd) return nullptr;
    return id == kIdMainWindow ? m_hWnd : GetDlgItem(m_hWnd, id);
}

INT_PTR CALLBACK COstrelDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<COstrelDlg*>(lParam)->OnInitDialog(window);
        return TRUE;  // the first tab stop takes the focus
    }
    auto* self = reinterpret_cast<COstrelDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR COstrelDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kRunCallsMessage:
            m_calls.Run();
            return TRUE;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (!OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return FALSE;
            SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_CLOSE:
            CloseProcedure();
            return TRUE;
        // No default button, whichever button had the focus last: Enter
        // outside a push button is the dialog's OK (the closing procedure).
        case DM_GETDEFID:
            SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
            return TRUE;
        case WM_SYSCOMMAND:
            return OnSysCommand(wParam) ? TRUE : FALSE;
        case WM_PAINT:
            return OnPaintIconic() ? TRUE : FALSE;
        // The window moved to a screen of another DPI. The dialog manager
        // still rescales the template's controls and fonts (not handled).
        case WM_DPICHANGED:
            OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return FALSE;
        case WM_TIMER:
            if (wParam != kFirewallAfterSearchTimer) return FALSE;
            KillTimer(m_hWnd, kFirewallAfterSearchTimer);
            if (m_firewall && m_station->m_DeviceList.RowCount() == 0) m_firewall->Check(ExecutablePath());
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_hIcon);
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return TRUE;
        // Log-off or shut-down: never refused (the system would end the tool
        // anyway); the services stop in order when the session really ends.
        case WM_QUERYENDSESSION:
            SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) CloseForSystem();
            SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

void COstrelDlg::OnInitDialog(HWND window) {
    m_hWnd = window;
    m_calls.Attach([window] { return PostMessageW(window, kRunCallsMessage, 0, 0) != 0; });
    SetPropW(window, kMainWindowProperty, reinterpret_cast<HANDLE>(1));
    if (HMENU systemMenu = GetSystemMenu(window, FALSE)) {
        wchar_t about[128] = {};
        if (LoadStringW(m_instance, kAboutStringId, about, static_cast<int>(std::size(about))) > 0) {
            AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(systemMenu, MF_STRING, kAboutCommand, about);
        }
    }
    m_dpi = WindowDpi(window);
    LoadIcons(m_dpi);
    m_captionFit = std::make_unique<CaptionFit>(window);
    m_DeviceList->Attach(GetDlgItem(window, kIdDeviceList));
    m_station->SetRunObserver(&m_searchEnds);  // before the services start
    m_station->Initialise();
    CentreWindow(window, nullptr);
    StartFirewallWatch();
}

// The system menu's firewall entry (in the window's language), the first
// check, and a check after every search that ends with an empty table.
void COstrelDlg::StartFirewallWatch() {
    if (HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE)) {
        AppendMenuW(systemMenu, MF_STRING, kAllowFirewallCommand,
                    W(Texts(m_station->m_nLanguage).menuAllowFirewall).c_str());
    }
    m_firewall =
        std::make_unique<FirewallWatch>([this](std::function<void()> call) { m_calls.Post(std::move(call)); },
                                        [this](const FirewallCheck& check) { OnFirewallChecked(check); });
    m_firewall->Check(ExecutablePath());
}

void COstrelDlg::OnSearchEndedForFirewall() {
    if (m_hWnd) SetTimer(m_hWnd, kFirewallAfterSearchTimer, kFirewallAfterSearchMs, nullptr);
}

// Blocked or uncovered: the note line says so and how to allow the tool; once
// allowed, the note line's own text comes back. "Cannot tell" changes nothing.
void COstrelDlg::OnFirewallChecked(const FirewallCheck& check) {
    const int language = m_station->m_nLanguage;
    if (!LanguageHasTexts(language)) return;
    const TextTable& t = Texts(language);
    const std::string shown = WindowTextUtf8(Control(kIdNoteLine));
    switch (check.verdict) {
        case FirewallVerdict::kBlocked:
            SetCaption(kIdNoteLine, t.noteFirewallBlocked);
            break;
        case FirewallVerdict::kUncovered:
            SetCaption(kIdNoteLine, t.noteFirewallUncovered);
            break;
        case FirewallVerdict::kAllowed:
            if (shown == t.noteFirewallBlocked || shown == t.noteFirewallUncovered)
                SetCaption(kIdNoteLine, t.noteLine);
            break;
        case FirewallVerdict::kCannotTell:
            break;
    }
}

// The big and the small window icon in the sizes of the DPI (the window takes
// them when it exists).
void COstrelDlg::LoadIcons(UINT dpi) {
    HICON big = LoadIconForDpi(m_instance, kIconId, SM_CXICON, SM_CYICON, dpi);
    HICON small = LoadIconForDpi(m_instance, kIconId, SM_CXSMICON, SM_CYSMICON, dpi);
    if (m_hWnd) {
        SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : big));
    }
    if (m_hIcon) DestroyIcon(m_hIcon);
    if (m_hSmallIcon) DestroyIcon(m_hSmallIcon);
    m_hIcon = big;
    m_hSmallIcon = small;
}

void COstrelDlg::OnDpiChanged(UINT dpi, const RECT& suggested) {
    const UINT before = m_dpi;
    m_dpi = dpi;
    SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    m_DeviceList->OnDpiChanged(before, dpi);
    LoadIcons(dpi);
}

void COstrelDlg::OnDestroy() {
    RemovePropW(m_hWnd, kMainWindowProperty);
    m_calls.Detach();
    m_hWnd = nullptr;
    m_ended = true;
}

void COstrelDlg::OnCommand(int id, int code) {
    Station& s = *m_station;
    switch (id) {
        // Enter outside a push button and Escape: the closing procedure, never
        // an end of the dialog behind the workers' backs.
        case IDOK:
        case IDCANCEL:
            CloseProcedure();
            return;
        case kIdFindType:
            if (code == CBN_SELCHANGE) s.OnFindTypeChange();
            return;
        default:
            break;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case kIdFind:
            s.OnFind();
            break;
        case kIdKeyboard:
            s.OnKeyboard();
            break;
        case kIdOpen:
            s.OnOpen();
            break;
        case kIdModifyIP:
            s.OnModifyIP();
            break;
        case kIdUpgrade:
            s.OnUpgrade();
            break;
        case kIdSelectAll:
            s.OnSelectAll();
            break;
        case kIdCancel:
            s.OnCancel();
            break;
        default:
            if (FindTypeBox(id)) s.OnTypeFilterClick(id);
            break;
    }
}

bool COstrelDlg::OnNotify(const NMHDR& header, LRESULT& result) {
    if (m_DeviceList->OnNotify(header, result)) return true;
    if (header.hwndFrom != m_DeviceList->Handle()) return false;
    if (header.code == NM_CLICK) {
        m_station->OnTableClick(m_DeviceList->FirstSelectedRow());
        result = 0;
        return true;
    }
    if (header.code == LVN_KEYDOWN) {
        const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
        if (key.wVKey == 'C' && GetKeyState(VK_CONTROL) < 0) CopySelectedRows();
        result = 0;
        return true;
    }
    return false;
}

bool COstrelDlg::OnSysCommand(WPARAM command) {
    if ((command & 0xFFF0) == kAllowFirewallCommand) {
        if (m_firewall)
            m_firewall->AllowThenCheck(m_hWnd, m_station->m_strAppDir + "quillane-cli.exe", ExecutablePath());
        return true;
    }
    if ((command & 0xFFF0) != kAboutCommand) return false;
    CAboutDlg::Show(m_instance, m_hWnd);
    return true;
}

// While minimised the client area shows the icon, centred.
bool COstrelDlg::OnPaintIconic() {
    if (!IsIconic(m_hWnd)) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = SystemMetricForDpi(SM_CXICON, m_dpi);
    const int iconHeight = SystemMetricForDpi(SM_CYICON, m_dpi);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

HMENU COstrelDlg::BuildTableMenu() const {
    const TextTable& t = Texts(m_station->m_nLanguage);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kMenuExportList, W(t.menuExportList).c_str());
    const bool anySelected = m_DeviceList->FirstSelectedRow() >= 0;
    AppendMenuW(menu, MF_STRING | (anySelected ? 0 : MF_GRAYED), kMenuCopy,
                (W(t.menuCopy) + L"\tCtrl+C").c_str());
    return menu;
}

void COstrelDlg::OnContextMenu(HWND source, POINT screen) {
    HWND list = m_DeviceList->Handle();
    if (source != list) return;
    if (screen.x == -1 && screen.y == -1) {  // from the keyboard: at the first selected row, else the corner
        RECT place{};
        const int row = m_DeviceList->FirstSelectedRow();
        if (row < 0 || !ListView_GetItemRect(list, row, &place, LVIR_LABEL)) GetClientRect(list, &place);
        screen = {place.left, place.bottom};
        ClientToScreen(list, &screen);
    }
    HMENU menu = BuildTableMenu();
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_hWnd, nullptr));
    DestroyMenu(menu);
    if (chosen == kMenuExportList) AskAndExportList();
    if (chosen == kMenuCopy) CopySelectedRows();
}

void COstrelDlg::AskAndExportList() {
    const std::optional<std::string> path =
        ChooseFile(m_runSaveDialog, m_hWnd, DeviceListFileFilter(m_station->m_nLanguage), 0);
    if (path) ExportListTo(*path);
}

void COstrelDlg::ExportListTo(const std::string& path) {
    const std::optional<MessageBoxText> failed =
        ExportDeviceList(m_station->m_DeviceList, m_DeviceList->ShownColumns(), path, m_station->m_nLanguage);
    if (failed) ShowMessageBox(m_hWnd, failed->text, failed->caption);
}

void COstrelDlg::CopySelectedRows() {
    const std::string text =
        DeviceRowsText(m_station->m_DeviceList, m_DeviceList->ShownColumns(), m_DeviceList->SelectedRows());
    if (!text.empty()) PutOnClipboard(m_hWnd, WithCrLf(W(text)));
}

int COstrelDlg::FindTypeSelection() const {
    return static_cast<int>(SendMessageW(Control(kIdFindType), CB_GETCURSEL, 0, 0));
}

uint32_t COstrelDlg::RangeStart() const {
    DWORD start = 0;
    SendMessageW(Control(kIdStartIP), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&start));
    return start;
}

uint32_t COstrelDlg::RangeEnd() const {
    DWORD end = 0;
    SendMessageW(Control(kIdEndIP), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&end));
    return end;
}

// A call on the window's thread first applies what workers queued before it,
// so the window always ends in the state of the station's last call.
template <class Change>
void COstrelDlg::OnGuiThread(Change change) {
    m_calls.Call(std::move(change));
}

void COstrelDlg::EnableControl(int id, bool enabled) {
    OnGuiThread([this, id, enabled] {
        if (HWND control = Control(id)) EnableWindow(control, enabled ? TRUE : FALSE);
    });
}

void COstrelDlg::SetCaption(int id, const std::string& text) {
    OnGuiThread([this, id, text = W(text)] {
        HWND control = Control(id);
        if (!control) return;
        SetWindowTextW(control, text.c_str());
        if (id != kIdMainWindow && m_captionFit) m_captionFit->Fit(control);
    });
}

// A transfer reports every block; only a new value is worth a message.
void COstrelDlg::SetProgress(int percent) {
    if (!m_progressShown.Changes(percent)) return;
    OnGuiThread(
        [this, percent] { SendMessageW(Control(kIdProgress), PBM_SETPOS, static_cast<WPARAM>(percent), 0); });
}

void COstrelDlg::ShowMessage(const std::string& text, const std::string& caption) {
    OnGuiThread([this, text, caption] { ShowMessageBox(m_hWnd, text, caption); });
}

void COstrelDlg::SetRange(uint32_t start, uint32_t end) {
    SendMessageW(Control(kIdStartIP), IPM_SETADDRESS, 0, static_cast<LPARAM>(start));
    SendMessageW(Control(kIdEndIP), IPM_SETADDRESS, 0, static_cast<LPARAM>(end));
}

void COstrelDlg::SetChecked(int id, bool checked) {
    CheckDlgButton(m_hWnd, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void COstrelDlg::SetFindTypeItems(const std::array<std::string, 2>& items, int selection) {
    HWND combo = Control(kIdFindType);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item).c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    CaptionFit::WidenDropDown(combo);
}

void COstrelDlg::SetTableColumns(const std::array<std::string, 12>& headers,
                                 const std::array<int, 12>& widths) {
    m_DeviceList->SetColumns(headers, widths);
}

void COstrelDlg::SetProgressRange(int low, int high) {
    SendMessageW(Control(kIdProgress), PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

std::optional<std::string> COstrelDlg::AskForFile(const FileDialogFilter& filter) {
    return ChooseFile(m_runOpenDialog, m_hWnd, filter, OFN_FILEMUSTEXIST);
}

std::optional<IpSettingsValues> COstrelDlg::AskIpSettings(const std::string& appDir, int language,
                                                          const IpDeviceValues& device) {
    CEditIP dialog(appDir, language, device, m_station->m_startHelperProgram);
    if (dialog.DoModal(m_instance, m_hWnd) != IDOK) return std::nullopt;
    return dialog.Result();
}

ScreenRect COstrelDlg::ControlScreenRect(int id) const {
    RECT rect{};
    if (HWND control = Control(id)) GetWindowRect(control, &rect);
    return ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
}

void COstrelDlg::CloseProcedure() {
    if (m_ended || !m_station->Close()) return;
    EndWindow(IDCANCEL);
}

void COstrelDlg::CloseForSystem() {
    if (m_ended) return;
    m_station->CloseForSystem();
    EndWindow(IDCANCEL);
}

void COstrelDlg::EndWindow(INT_PTR result) {
    m_ended = true;
    if (m_modal) {
        EndDialog(m_hWnd, result);
    } else {
        DestroyWindow(m_hWnd);
    }
}

}  // namespace win32
