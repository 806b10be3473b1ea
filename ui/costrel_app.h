#pragma once

#include <QString>

// The application: one running copy, the optional skin, and the main window
// run modally. The process ends when the window has closed.
class COstrelApp {
public:
    explicit COstrelApp(QString instanceName = QStringLiteral("Quillane"));
    // Returns the process's exit code; a second copy returns at once.
    int InitInstance();

private:
    QString m_instanceName;
};

class COstrelDlg;

// Runs the main window modally until the operator closes it or a stop signal
// ends it through the system's close; returns the process's exit code.
int RunMainWindow(COstrelDlg& window);

// "xp_corona.ssk" beside the executable, read as a style sheet; empty when absent.
QString LoadSkin(const QString& appDir);
