#include "costrel_dlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "about_dlg.h"
#include "app_icon.h"
#include "caption_fit.h"
#include "device_list_export.h"
#include "dialog_units.h"
#include "edit_ip_dlg.h"
#include "ip_address_edit.h"
#include "message_box.h"
#include "model/control_ids.h"
#include "model/device_list_text.h"
#include "model/device_types.h"
#include "model/texts.h"
#include "sort_list_ctrl.h"

using namespace quillane;

namespace {

enum class Kind { Combo, IpAddress, Label, RightLabel, Button, Check, Edit, List, Progress };

struct ControlTemplate {
    int id;  // 0: a static without id
    Kind kind;
    int x, y, width, height;  // dialog units
};

// Template 102. The captions come from the text tables when the station
// initialises the window; only the range's "~" is the same in every language.
const ControlTemplate kMainTemplate[] = {
    {kIdFindType, Kind::Combo, 4, 8, 58, 45},
    {kIdStartIP, Kind::IpAddress, 65, 6, 92, 15},
    {0, Kind::Label, 159, 10, 8, 8},
    {kIdEndIP, Kind::IpAddress, 167, 6, 92, 15},
    {kIdKeyboard, Kind::Button, 263, 7, 42, 14},
    {kIdFind, Kind::Button, 310, 7, 42, 14},
    {kIdModifyIP, Kind::Button, 357, 7, 42, 14},
    {kIdTypeLabel, Kind::RightLabel, 0, 28, 37, 8},
    {kIdPlayDev, Kind::Check, 39, 28, 54, 10},
    {kIdMorePlayDev, Kind::Check, 95, 28, 59, 10},
    {kIdPowerDev, Kind::Check, 157, 28, 62, 10},
    {kIdSoundBoxDev, Kind::Check, 223, 28, 48, 10},
    {kIdAlarmDev, Kind::Check, 273, 28, 50, 10},
    {kIdTelCallDev, Kind::Check, 324, 28, 50, 10},
    {kIdSoundCollectionDev, Kind::Check, 376, 28, 62, 10},
    {kIdAmpMonitorDev, Kind::Check, 38, 42, 115, 10},
    {kIdPowerManageDev, Kind::Check, 157, 43, 112, 10},
    {kIdSenseInterfaceDev, Kind::Check, 273, 44, 103, 10},
    {kIdSmallPoxSoundBoxDev, Kind::Check, 381, 45, 43, 10},
    {kIdFileLabel, Kind::RightLabel, 2, 58, 35, 8},
    {kIdFilePath, Kind::Edit, 38, 56, 214, 14},
    {kIdOpen, Kind::Button, 253, 56, 42, 14},
    {kIdUpgrade, Kind::Button, 300, 56, 42, 14},
    {kIdSelectAll, Kind::Button, 347, 56, 42, 14},
    {kIdCancel, Kind::Button, 394, 56, 42, 14},
    {kIdDeviceList, Kind::List, 4, 78, 434, 190},
    {kIdProgress, Kind::Progress, 3, 270, 433, 14},
    {kIdNoteLine, Kind::Label, 4, 286, 430, 8},
};

constexpr const char* kRangeTilde = "~";
constexpr int kMainWidth = 439, kMainHeight = 297, kMainPointSize = 9;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

COstrelDlg::COstrelDlg(std::string appDir, StationNetwork network, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kIdMainWindow));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(ApplicationIcon());
    setFont(DialogFont(kMainPointSize));
    // Qt drops a queued call to a window that has gone.
    m_calls.Attach([this] {
        return QMetaObject::invokeMethod(
            this, [this] { m_calls.Run(); }, Qt::QueuedConnection);
    });
    m_station = std::make_unique<quillane::Station>(*this, std::move(appDir), network);
    BuildControls();
    ConnectControls();
    m_station->Initialise();
    m_cmbFindType->setFocus();
}

COstrelDlg::~COstrelDlg() {
    // The table view watches the station's table: it goes first, then the
    // station stops its workers while this window can still take their calls.
    delete m_DeviceList;
    m_DeviceList = nullptr;
    m_controls.erase(kIdDeviceList);
    m_station.reset();
    m_calls.Detach();
}

void COstrelDlg::BuildControls() {
    const DialogUnits units(font());
    setFixedSize(units.X(kMainWidth), units.Y(kMainHeight));
    for (const ControlTemplate& t : kMainTemplate) {
        QWidget* widget = nullptr;
        switch (t.kind) {
            case Kind::Combo: {
                m_cmbFindType = new QComboBox(this);
                widget = m_cmbFindType;
                break;
            }
            case Kind::IpAddress: {
                auto* edit = new IpAddressEdit(this);
                (t.id == kIdStartIP ? m_StartIP : m_EndIP) = edit;
                widget = edit;
                break;
            }
            case Kind::Label:
            case Kind::RightLabel: {
                auto* label = new QLabel(this);
                if (t.id == 0) label->setText(QString::fromUtf8(kRangeTilde));
                label->setAlignment((t.kind == Kind::RightLabel ? Qt::AlignRight : Qt::AlignLeft) |
                                    Qt::AlignTop);
                widget = label;
                break;
            }
            case Kind::Button: {
                // No default button: Enter on a focused button presses it, elsewhere it closes.
                auto* button = new QPushButton(this);
                button->setAutoDefault(false);
                widget = button;
                break;
            }
            case Kind::Check:
                widget = new QCheckBox(this);
                break;
            case Kind::Edit:
                m_edtFilePath = new QLineEdit(this);
                widget = m_edtFilePath;
                break;
            case Kind::List:
                m_DeviceList = new CSortListCtrl(m_station->m_DeviceList, this);
                widget = m_DeviceList;
                break;
            case Kind::Progress:
                m_Progress = new QProgressBar(this);
                m_Progress->setTextVisible(false);
                widget = m_Progress;
                break;
        }
        // A drop-down list's template height includes its list; the closed box is one line.
        QRect rect = units.Rect(t.x, t.y, t.width, t.height);
        if (t.kind == Kind::Combo) rect.setHeight(units.Y(14));
        widget->setGeometry(rect);
        if (t.id != 0) {
            widget->setObjectName(QString::number(t.id));
            m_controls[t.id] = widget;
        }
    }
    m_controls.at(kIdSmallPoxSoundBoxDev)->hide();
}

void COstrelDlg::ConnectControls() {
    Station& s = *m_station;
    auto onClick = [this](int id, auto handler) {
        connect(static_cast<QAbstractButton*>(m_controls.at(id)), &QAbstractButton::clicked, this, handler);
    };
    onClick(kIdFind, [&s] { s.OnFind(); });
    onClick(kIdKeyboard, [&s] { s.OnKeyboard(); });
    onClick(kIdOpen, [&s] { s.OnOpen(); });
    onClick(kIdModifyIP, [&s] { s.OnModifyIP(); });
    onClick(kIdUpgrade, [&s] { s.OnUpgrade(); });
    onClick(kIdSelectAll, [&s] { s.OnSelectAll(); });
    onClick(kIdCancel, [&s] { s.OnCancel(); });
    for (const DeviceType& type : kDeviceTypes) {
        const int id = type.boxId;
        onClick(id, [&s, id] { s.OnTypeFilterClick(id); });
    }
    connect(m_cmbFindType, &QComboBox::activated, this, [&s](int) { s.OnFindTypeChange(); });
    connect(m_DeviceList, &CSortListCtrl::RowClicked, this, [&s](int row) { s.OnTableClick(row); });

    m_copyRows = new QAction(m_DeviceList);
    m_copyRows->setShortcut(QKeySequence::Copy);
    m_copyRows->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_DeviceList->addAction(m_copyRows);
    connect(m_copyRows, &QAction::triggered, this, &COstrelDlg::CopySelectedRows);
    m_DeviceList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_DeviceList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowTableMenu(m_DeviceList->viewport()->mapToGlobal(pos)); });
}

void COstrelDlg::ShowTableMenu(const QPoint& globalPos) {
    const TextTable& t = Texts(m_station->m_nLanguage);
    QMenu menu(this);
    menu.addAction(Q(t.menuExportList), this, &COstrelDlg::AskAndExportList);
    m_copyRows->setText(Q(t.menuCopy));
    m_copyRows->setEnabled(m_DeviceList->selectionModel() && m_DeviceList->selectionModel()->hasSelection());
    menu.addAction(m_copyRows);
    // The window's own entry stays reachable over the table too.
    menu.addSeparator();
    menu.addAction(Q(About().menuEntry), this, [this] {
        CAboutDlg about(this);
        about.exec();
    });
    menu.exec(globalPos);
    m_copyRows->setEnabled(true);  // Ctrl+C works whenever the table has the focus
}

void COstrelDlg::AskAndExportList() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const FileDialogFilter filter = DeviceListFileFilter(m_station->m_nLanguage);
    dialog.setNameFilter(Q(filter.label));
    dialog.setDefaultSuffix(Q(filter.extension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    ExportListTo(dialog.selectedFiles().first());
}

void COstrelDlg::ExportListTo(const QString& path) {
    const std::optional<MessageBoxText> failed = ExportDeviceList(
        m_station->m_DeviceList, VisibleColumns(*m_DeviceList), path.toStdString(), m_station->m_nLanguage);
    if (failed) ShowMessageBox(this, Q(failed->text), Q(failed->caption));
}

void COstrelDlg::CopySelectedRows() {
    const QString text = SelectedDevicesText(*m_DeviceList);
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

int COstrelDlg::FindTypeSelection() const {
    return m_cmbFindType->currentIndex();
}

uint32_t COstrelDlg::RangeStart() const {
    return m_StartIP->Address();
}

uint32_t COstrelDlg::RangeEnd() const {
    return m_EndIP->Address();
}

QWidget* COstrelDlg::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

// One queue in call order (support/gui_call_queue.h): a run that ends on a
// worker gives the controls back, and the operator's next press may lock them
// on the GUI thread before those calls ran; running what is queued first
// keeps the end of one run from undoing the start of the next.
template <class Change>
void COstrelDlg::OnGuiThread(Change change) {
    m_calls.Call(std::move(change));
}

void COstrelDlg::EnableControl(int id, bool enabled) {
    OnGuiThread([this, id, enabled] {
        if (QWidget* w = Control(id)) w->setEnabled(enabled);
    });
}

void COstrelDlg::SetCaption(int id, const std::string& text) {
    OnGuiThread([this, id, text = Q(text)] {
        if (id == kIdMainWindow) {
            setWindowTitle(text);
        } else if (qobject_cast<QAbstractButton*>(Control(id)) || qobject_cast<QLabel*>(Control(id))) {
            FitCaption(Control(id), text);
        } else if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) {
            edit->setText(text);
            edit->setCursorPosition(0);
        }
    });
}

// A transfer reports every block; only a new value is worth a GUI event.
void COstrelDlg::SetProgress(int percent) {
    if (!m_progressShown.Changes(percent)) return;
    OnGuiThread([this, percent] { m_Progress->setValue(percent); });
}

void COstrelDlg::ShowMessage(const std::string& text, const std::string& caption) {
    OnGuiThread([this, text = Q(text), caption = Q(caption)] { ShowMessageBox(this, text, caption); });
}

void COstrelDlg::SetRange(uint32_t start, uint32_t end) {
    m_StartIP->SetAddress(start);
    m_EndIP->SetAddress(end);
}

void COstrelDlg::SetChecked(int id, bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(Control(id))) box->setChecked(checked);
}

void COstrelDlg::SetFindTypeItems(const std::array<std::string, 2>& items, int selection) {
    m_cmbFindType->clear();
    for (const std::string& item : items) m_cmbFindType->addItem(Q(item));
    m_cmbFindType->setCurrentIndex(selection);
}

void COstrelDlg::SetTableColumns(const std::array<std::string, 12>& headers,
                                 const std::array<int, 12>& widths) {
    m_DeviceList->SetColumns(headers, widths);
}

void COstrelDlg::SetProgressRange(int low, int high) {
    m_Progress->setRange(low, high);
}

// Qt reads the pattern from the parentheses that end the filter's label.
std::optional<std::string> COstrelDlg::AskForFile(const FileDialogFilter& filter) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(Q(filter.label));
    dialog.setDefaultSuffix(Q(filter.extension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<IpSettingsValues> COstrelDlg::AskIpSettings(const std::string& appDir, int language,
                                                          const IpDeviceValues& device) {
    CEditIP dialog(appDir, language, device, m_station->m_startHelperProgram, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Result();
}

ScreenRect COstrelDlg::ControlScreenRect(int id) const {
    const QWidget* w = Control(id);
    if (!w) return {};
    const QPoint topLeft = w->mapToGlobal(QPoint(0, 0));
    return ScreenRect{topLeft.x(), topLeft.y(), topLeft.x() + w->width(), topLeft.y() + w->height()};
}

void COstrelDlg::CloseProcedure() {
    if (m_station->Close()) QDialog::done(QDialog::Rejected);
}

void COstrelDlg::CloseForSystem() {
    m_station->CloseForSystem();
    // Not done(): a message box or file dialog may run its own loop on top of
    // ours, and the process must not wait for the operator to close it.
    QCoreApplication::exit(0);
}

void COstrelDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    CloseProcedure();
}

// Escape, and Enter outside a focused push button, run the closing procedure:
// the dialog never ends behind the workers' backs.
void COstrelDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
            button->click();
        } else {
            CloseProcedure();
        }
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        CloseProcedure();
        return;
    }
    QDialog::keyPressEvent(event);
}

void COstrelDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(Q(About().menuEntry), this, [this] {
        CAboutDlg about(this);
        about.exec();
    });
    menu.exec(event->globalPos());
}
