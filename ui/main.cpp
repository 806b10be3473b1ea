#include <QApplication>

#include "app_icon.h"
#include "costrel_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setWindowIcon(ApplicationIcon());  // every window and message box
    COstrelApp app;
    return app.InitInstance();
}
