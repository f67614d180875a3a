#include "app/mainwindow.h"
#include "app/translations.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Translations::install(QLocale());
    MainWindow window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.show();
    return app.exec();
}
