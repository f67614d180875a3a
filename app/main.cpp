#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    MainWindow window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.show();
    return app.exec();
}
