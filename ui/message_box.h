#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message box of the tool: modal, an OK button only. Tests install a
// hook that records the message instead of showing it.
using MessageBoxHook = std::function<void(QWidget* parent, const QString& text, const QString& caption)>;
void SetMessageBoxHook(MessageBoxHook hook);
void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption);
