#include "costrel_app.h"

#include <QApplication>
#include <QFile>

#include "costrel_dlg.h"
#include "single_instance.h"
#include "stop_signal_watch.h"
#include "support/exe_dir.h"

COstrelApp::COstrelApp(QString instanceName) : m_instanceName(std::move(instanceName)) {}

int RunMainWindow(COstrelDlg& window) {
    StopSignalWatch stopWatch([&window] { window.CloseForSystem(); });
    window.exec();
    return 0;
}

QString LoadSkin(const QString& appDir) {
    QFile skin(appDir + QStringLiteral("xp_corona.ssk"));
    if (!skin.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(skin.readAll());
}

int COstrelApp::InitInstance() {
    SingleInstance instance(m_instanceName);
    if (instance.AskRunningInstanceToRaise()) return 0;
    // Started at the same moment as another copy, which listens first: that one runs.
    // Without a socket at all the tool still runs, as a copy nobody can find.
    if (!instance.Listen() && instance.AskRunningInstanceToRaise()) return 0;

    const std::string appDir = quillane::ExecutableDirectory();
    const QString previousStyle = qApp->styleSheet();
    if (const QString skin = LoadSkin(QString::fromStdString(appDir)); !skin.isEmpty())
        qApp->setStyleSheet(skin);
    {
        COstrelDlg window(appDir, quillane::StationNetwork{});
        instance.SetRaiseHandler([&window] {
            window.raise();
            window.activateWindow();
        });
        RunMainWindow(window);
        instance.SetRaiseHandler(nullptr);
    }
    qApp->setStyleSheet(previousStyle);
    return 0;
}
