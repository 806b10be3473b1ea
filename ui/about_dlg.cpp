#include "about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "app_icon.h"
#include "dialog_units.h"
#include "model/control_ids.h"
#include "model/texts.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    const quillane::AboutTexts& texts = quillane::About();
    setObjectName(QString::number(quillane::kIdAboutDialog));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont(9));
    setWindowTitle(QString::fromStdString(texts.title));
    const DialogUnits units(font());
    setFixedSize(units.X(170), units.Y(62));

    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    icon->setGeometry(units.X(14), units.Y(14), 32, 32);
    auto* text = new QLabel(QString::fromStdString(texts.text), this);
    text->setGeometry(units.Rect(42, 14, 114, 8));
    auto* ok = new QPushButton(QString::fromStdString(texts.ok), this);
    ok->setObjectName(QString::number(quillane::kIdOk));
    ok->setDefault(true);
    ok->setGeometry(units.Rect(113, 41, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
