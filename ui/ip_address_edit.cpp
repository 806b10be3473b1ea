#include "ip_address_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("octet%1").arg(i + 1));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new QIntValidator(0, 255, field));
        field->setMinimumWidth(8);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnFieldEdited(i); });
        connect(field, &QLineEdit::textChanged, this, &IpAddressEdit::AddressChanged);
        layout->addWidget(field, 1);
        m_fields[static_cast<size_t>(i)] = field;
    }
    setFocusProxy(m_fields[0]);
}

uint32_t IpAddressEdit::Address() const {
    uint32_t address = 0;
    for (QLineEdit* field : m_fields)
        address = address << 8 | static_cast<uint32_t>(std::min(field->text().toInt(), 255));
    return address;
}

void IpAddressEdit::SetAddress(uint32_t address) {
    for (int i = 0; i < 4; ++i)
        m_fields[static_cast<size_t>(i)]->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
}

void IpAddressEdit::Clear() {
    for (QLineEdit* field : m_fields) field->clear();
}

// A full field or a typed dot moves on to the next field, as in the Windows control.
void IpAddressEdit::OnFieldEdited(int index) {
    if (index < 3 && m_fields[static_cast<size_t>(index)]->text().size() == 3) {
        m_fields[static_cast<size_t>(index + 1)]->setFocus();
        m_fields[static_cast<size_t>(index + 1)]->selectAll();
    }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        for (int i = 0; i < 4; ++i) {
            QLineEdit* field = m_fields[static_cast<size_t>(i)];
            if (watched != field) continue;
            if (i < 3 && key->text() == QStringLiteral(".") && !field->text().isEmpty()) {
                m_fields[static_cast<size_t>(i + 1)]->setFocus();
                m_fields[static_cast<size_t>(i + 1)]->selectAll();
                return true;
            }
            // Backspace at the start of a field goes on in the previous one.
            if (i > 0 && key->key() == Qt::Key_Backspace && field->cursorPosition() == 0 &&
                !field->hasSelectedText()) {
                QLineEdit* previous = m_fields[static_cast<size_t>(i - 1)];
                previous->setFocus();
                previous->end(false);
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

void IpAddressEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        setBackgroundRole(isEnabled() ? QPalette::Base : QPalette::Window);
    QFrame::changeEvent(event);
}
