#include <QApplication>

#include "app_icon.h"
#include "costrel_app.h"
#include "support/open_file_limit.h"
#include "support/stop_signals.h"

int main(int argc, char** argv) {
    // First of all: a stop signal from now on waits for the window's orderly stop.
    quillane::InstallStopSignals();
    // The TFTP server bounds its transfers itself; a flood must meet that bound, not the default 1,024 files.
    quillane::RaiseOpenFileLimit();
    QApplication application(argc, argv);
    application.setWindowIcon(ApplicationIcon());  // every window and message box
    COstrelApp app;
    return app.InitInstance();
}
