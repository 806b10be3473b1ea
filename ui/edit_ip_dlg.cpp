#include "edit_ip_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "caption_fit.h"
#include "dialog_units.h"
#include "ip_address_edit.h"
#include "message_box.h"
#include "model/control_ids.h"
#include "model/texts.h"

using namespace quillane;

namespace {

constexpr int kWidth = 315, kHeight = 180, kPointSize = 8;
constexpr int kAddressIds[5] = {kIdEditIP, kIdEditMask, kIdEditGateway, kIdEditServer, kIdEditBackupServer};
constexpr int kCheckIds[5] = {kIdCheckIP, kIdCheckMask, kIdCheckGateway, kIdCheckServer,
                              kIdCheckBackupServer};
constexpr int kAddressY[5] = {26, 52, 79, 106, 133};
constexpr int kCheckY[5] = {27, 54, 82, 108, 136};
struct LabelTemplate {
    int id;
    int x, y, width, height;
};
// Template 129's labels; their captions come from the text tables.
constexpr LabelTemplate kFieldLabels[5] = {{1041, 50, 27, 26, 8},
                                           {1042, 40, 54, 36, 8},
                                           {1043, 40, 81, 36, 8},
                                           {1044, 26, 108, 50, 8},
                                           {1045, 10, 135, 66, 8}};
constexpr LabelTemplate kOctetLabels[4] = {
    {1037, 81, 11, 21, 8}, {1038, 108, 11, 21, 8}, {1039, 135, 11, 21, 8}, {1040, 162, 11, 122, 8}};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CEditIP::CEditIP(std::string dir, int language, const IpDeviceValues& device, HelperStarter startHelper,
                 QWidget* parent)
    : QDialog(parent),
      m_strDir(std::move(dir)),
      m_nLanguage(language),
      m_device(device),
      m_startHelper(std::move(startHelper)) {
    setObjectName(QString::number(kIdIpSettingsDialog));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont(kPointSize));
    BuildControls();
    m_values = InitialIpSettings(ReadIpSettings(m_strDir), m_device);
    ApplyTexts();
    ShowValues();
}

void CEditIP::BuildControls() {
    const DialogUnits units(font());
    setFixedSize(units.X(kWidth), units.Y(kHeight));
    auto place = [&](QWidget* w, int id, int x, int y, int width, int height) {
        w->setGeometry(units.Rect(x, y, width, height));
        w->setObjectName(QString::number(id));
    };
    auto* ok = new QPushButton(this);
    ok->setDefault(true);
    place(ok, kIdOk, 75, 163, 50, 14);
    // Enter presses a focused push button (each one is an auto-default
    // button); elsewhere in the dialog it presses OK.
    auto* cancel = new QPushButton(this);
    place(cancel, kIdDialogCancel, 190, 163, 50, 14);
    for (const LabelTemplate& t : kFieldLabels) {
        auto* label = new QLabel(this);
        place(label, t.id, t.x, t.y, t.width, t.height);
    }
    for (int i = 0; i < 5; ++i) {
        m_addresses[static_cast<size_t>(i)] = new IpAddressEdit(this);
        place(m_addresses[static_cast<size_t>(i)], kAddressIds[i], 79, kAddressY[i], 100, 15);
        m_checks[static_cast<size_t>(i)] = new QCheckBox(this);
        place(m_checks[static_cast<size_t>(i)], kCheckIds[i], 189, kCheckY[i], 48, 10);
    }
    for (const LabelTemplate& t : kOctetLabels) {
        auto* label = new QLabel(this);
        place(label, t.id, t.x, t.y, t.width, t.height);
    }
    m_cmbEditType = new QComboBox(this);
    place(m_cmbEditType, kIdEditType, 239, 24, 74, 14);  // the closed box; its list opens below
    m_btnKeyboard = new QPushButton(this);
    place(m_btnKeyboard, kIdEditKeyboard, 238, 51, 50, 14);

    connect(ok, &QPushButton::clicked, this, &CEditIP::accept);
    connect(cancel, &QPushButton::clicked, this, &CEditIP::reject);
    connect(m_btnKeyboard, &QPushButton::clicked, this, &CEditIP::OnKeyboard);
}

QWidget* CEditIP::Control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

void CEditIP::ApplyTexts() {
    const TextTable& t = Texts(m_nLanguage);
    for (const std::string& item : t.editTypes) m_cmbEditType->addItem(Q(item));
    FitItems(m_cmbEditType);
    for (int i = 0; i < 4; ++i)
        FitCaption(Control(kOctetLabels[i].id), Q(t.octetLabels[static_cast<size_t>(i)]));
    for (int i = 0; i < 5; ++i) {
        // The labels stand against their fields with free room on their left.
        auto* label = static_cast<QLabel*>(Control(kFieldLabels[i].id));
        const QString text = Q(t.fieldLabels[static_cast<size_t>(i)]);
        const int needed = label->fontMetrics().horizontalAdvance(text) + 1;
        if (needed > label->width()) {
            QRect box = label->geometry();
            box.setLeft(std::max(2, box.right() + 1 - needed));
            label->setGeometry(box);
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        }
        FitCaption(label, text);
        FitCaption(m_checks[static_cast<size_t>(i)], Q(t.modifyBox));
    }
    FitCaption(m_btnKeyboard, Q(t.ipDialogKeyboard));
    FitCaption(Control(kIdOk), Q(t.ok));
    FitCaption(Control(kIdDialogCancel), Q(t.dialogCancel));
    setWindowTitle(Q(t.ipDialogTitle));
}

void CEditIP::ShowValues() {
    m_cmbEditType->setCurrentIndex(m_values.editType);
    const IpSettingsRows rows = RowsOfIpSettings(m_values);
    for (size_t i = 0; i < rows.size(); ++i) {
        m_addresses[i]->SetAddress(rows[i].address);
        m_checks[i]->setChecked(rows[i].ticked);
    }
}

IpSettingsValues CEditIP::EnteredValues() const {
    IpSettingsRows rows;
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = {m_checks[i]->isChecked(), m_addresses[i]->Address()};
    return IpSettingsOfRows(rows, m_cmbEditType->currentIndex());
}

void CEditIP::accept() {
    const IpSettingsValues entered = EnteredValues();
    if (const auto refused = ConfirmOrRefuseIpSettings(m_strDir, entered, m_device, m_nLanguage)) {
        ShowMessageBox(this, Q(refused->text), Q(refused->caption));
        return;
    }
    m_values = entered;
    QDialog::accept();
}

void CEditIP::OnKeyboard() {
    const QPoint topLeft = m_btnKeyboard->mapToGlobal(QPoint(0, 0));
    if (m_startHelper) m_startHelper(IpDialogKeyboardCommand(topLeft.x(), topLeft.y()));
}
