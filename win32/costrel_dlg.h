#pragma once

// The main window (dialog template 102). It shows the station's state and
// forwards the operator's input; the station decides. Worker-side view calls
// travel through a queue to the window's thread and never wait; workers
// never read the window (a press becomes a request that carries its values).

// windows.h first: the headers that build on it need it before them.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "caption_fit.h"
#include "firewall_watch.h"
#include "model/station_view.h"
#include "sort_list_ctrl.h"
#include "station/station.h"
#include "support/changed_value.h"
#include "support/gui_call_queue.h"

namespace win32 {

// Runs a file dialog (GetOpenFileNameW / GetSaveFileNameW); tests replace it
// to see the dialog's settings and answer in the operator's place.
using FileDialogRunner = std::function<bool(OPENFILENAMEW& dialog)>;

class COstrelDlg : public quillane::StationView {
public:
    COstrelDlg(std::string appDir, quillane::StationNetwork network, HINSTANCE instance = nullptr);
    ~COstrelDlg() override;
    COstrelDlg(const COstrelDlg&) = delete;
    COstrelDlg& operator=(const COstrelDlg&) = delete;

    // The application's way: runs the window modally until it has closed.
    INT_PTR DoModal();
    // The same window without a loop of its own (tests run the thread's loop).
    HWND Create();
    // True once the window has ended (closing procedure or system's close).
    bool Ended() const { return m_ended; }

    HWND Handle() const { return m_hWnd; }
    HWND Control(int id) const;
    quillane::Station& GetStation() { return *m_station; }
    CSortListCtrl& DeviceList() { return *m_DeviceList; }

    // The closing procedure; the window ends only when the station agrees.
    void CloseProcedure();
    // The system's close (log-off, shut-down): the services stop without asking.
    void CloseForSystem();

    // The device table's context menu: "Export list..." and "Copy" (also Ctrl+C).
    HMENU BuildTableMenu() const;
    void AskAndExportList();
    void ExportListTo(const std::string& path);
    void CopySelectedRows();

    FileDialogRunner m_runOpenDialog;
    FileDialogRunner m_runSaveDialog;

    // StationView, any thread.
    void EnableControl(int id, bool enabled) override;
    void SetCaption(int id, const std::string& text) override;
    void SetProgress(int percent) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

    // StationView, GUI thread.
    int FindTypeSelection() const override;
    uint32_t RangeStart() const override;
    uint32_t RangeEnd() const override;
    void SetRange(uint32_t start, uint32_t end) override;
    void SetChecked(int id, bool checked) override;
    void SetFindTypeItems(const std::array<std::string, 2>& items, int selection) override;
    void SetTableColumns(const std::array<std::string, 12>& headers,
                         const std::array<int, 12>& widths) override;
    void SetProgressRange(int low, int high) override;
    std::optional<std::string> AskForFile(const quillane::FileDialogFilter& filter) override;
    std::optional<quillane::IpSettingsValues> AskIpSettings(const std::string& appDir, int language,
                                                            const quillane::IpDeviceValues& device) override;
    quillane::ScreenRect ControlScreenRect(int id) const override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND window);
    void OnCommand(int id, int code);
    bool OnNotify(const NMHDR& header, LRESULT& result);
    bool OnSysCommand(WPARAM command);
    bool OnPaintIconic();
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void StartFirewallWatch();
    void OnFirewallChecked(const quillane::FirewallCheck& check);
    void OnSearchEndedForFirewall();
    void LoadIcons(UINT dpi);
    void OnContextMenu(HWND source, POINT screen);
    void OnDestroy();
    void EndWindow(INT_PTR result);
    template <class Change>
    void OnGuiThread(Change change);

    HINSTANCE m_instance;
    HWND m_hWnd = nullptr;
    bool m_modal = false;
    bool m_ended = false;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    UINT m_dpi = 0;                            // the DPI the window's pixel sizes are made for
    std::unique_ptr<CaptionFit> m_captionFit;  // its fonts outlive the window's controls

    quillane::ChangedValue m_progressShown;

    // Declared in this order so that they go in the reverse one: the list
    // stops watching the table, then the station stops its workers, and the
    // queue they post to goes last.
    // The private message that runs the worker-side view calls (m_calls).
    static constexpr UINT kRunCallsMessage = WM_APP + 1;
    quillane::GuiCallQueue m_calls;
    std::unique_ptr<quillane::Station> m_station;
    std::unique_ptr<CSortListCtrl> m_DeviceList;
    std::unique_ptr<FirewallWatch> m_firewall;
    SearchEndObserver m_searchEnds{[this] { m_calls.Post([this] { OnSearchEndedForFirewall(); }); }};
};

// Marks the main window so that a second start finds this window, not just
// any window with the same title.
inline constexpr const wchar_t* kMainWindowProperty = L"Quillane.MainWindow";

}  // namespace win32
