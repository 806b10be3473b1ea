#pragma once

#include <QDialog>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "model/station_view.h"
#include "station/station.h"
#include "support/changed_value.h"
#include "support/gui_call_queue.h"

class QAction;
class QComboBox;
class QLineEdit;
class QProgressBar;
class CSortListCtrl;
class IpAddressEdit;

// The main window. It shows the station's state and forwards the operator's
// input; the station decides. Worker-side view calls are queued to the GUI
// thread and never wait; a view call on the GUI thread first applies every
// call still queued, so the window follows the order in which the station
// made them. Workers never read the window: presses become requests.
class COstrelDlg : public QDialog, public quillane::StationView {
    Q_OBJECT
public:
    COstrelDlg(std::string appDir, quillane::StationNetwork network, QWidget* parent = nullptr);
    ~COstrelDlg() override;

    quillane::Station& GetStation() { return *m_station; }
    CSortListCtrl* DeviceList() const { return m_DeviceList; }
    QWidget* Control(int id) const;

    // The window's closing procedure; the dialog ends only when the station agrees.
    void CloseProcedure();
    // The system's close (a stop signal): the station stops its services
    // without asking, and every event loop ends, those of dialogs still open too.
    void CloseForSystem();

    // The device table's context menu: "Export list..." asks for a file and
    // writes the table as CSV; "Copy" (also Ctrl+C) puts the selected rows on
    // the clipboard.
    void ShowTableMenu(const QPoint& globalPos);
    void ExportListTo(const QString& path);
    void CopySelectedRows();

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

public slots:
    void accept() override { CloseProcedure(); }
    void reject() override { CloseProcedure(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildControls();
    void ConnectControls();
    void AskAndExportList();
    template <class Change>
    void OnGuiThread(Change change);

    std::map<int, QWidget*> m_controls;
    CSortListCtrl* m_DeviceList = nullptr;
    IpAddressEdit* m_StartIP = nullptr;
    IpAddressEdit* m_EndIP = nullptr;
    QComboBox* m_cmbFindType = nullptr;
    QLineEdit* m_edtFilePath = nullptr;
    QProgressBar* m_Progress = nullptr;
    QAction* m_copyRows = nullptr;

    quillane::ChangedValue m_progressShown;
    quillane::GuiCallQueue m_calls;  // worker-side view calls not yet applied, oldest first
    std::unique_ptr<quillane::Station> m_station;
};
