#include <QApplication>

#include "costrel_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    COstrelApp app;
    return app.InitInstance();
}
