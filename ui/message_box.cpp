#include "message_box.h"

#include <QMessageBox>

namespace {
MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption) {
    if (Hook()) {
        Hook()(parent, text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}
