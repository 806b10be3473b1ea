// One Find in the Qt window, timed as the operator sees it: from the press of
// Find to the moment the window's device list holds the expected number of
// rows. Runs inside a lab's workstation namespace (bench/window_find_bench.sh),
// never outside it, on the display it is given (Xvfb there).
//
//   qt_window_find APPDIR DEVICES [TIMEOUT_MS = 60000]
//
// Prints "rows N ms T" (T: milliseconds from Find to the N-th row).

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "costrel_dlg.h"
#include "model/control_ids.h"
#include "sort_list_ctrl.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: qt_window_find APPDIR DEVICES [TIMEOUT_MS]\n");
        return 2;
    }
    const int devices = std::atoi(argv[2]);
    const int timeoutMs = argc > 3 ? std::atoi(argv[3]) : 60000;
    COstrelDlg window(std::string(argv[1]) + "/", quillane::StationNetwork{});
    window.show();
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);  // the window is up and idle
    settle.exec();

    auto* model = window.DeviceList()->model();
    QElapsedTimer clock;
    QEventLoop loop;
    QTimer poll;
    // Checked each millisecond from the window's own event loop, as it paints.
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (model->rowCount() >= devices || clock.elapsed() > timeoutMs) loop.quit();
    });
    clock.start();
    static_cast<QPushButton*>(window.Control(quillane::kIdFind))->click();
    poll.start(1);
    loop.exec();
    const double elapsedMs = clock.nsecsElapsed() / 1e6;
    const int rows = model->rowCount();
    std::printf("rows %d ms %.1f\n", rows, elapsedMs);
    std::fflush(stdout);
    window.CloseProcedure();
    return rows == devices ? 0 : 1;
}
