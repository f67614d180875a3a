#include "app/userdialogs.h"

#include <QFileDialog>

void WidgetDialogs::tell(QWidget* parent, Kind kind, const QString& title, const QString& text) {
    if (kind == Kind::Critical)
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
    else
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

bool WidgetDialogs::ask(QWidget* parent, const QString& title, const QString& text,
                        bool noByDefault) {
    const auto answer =
        QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                              noByDefault ? QMessageBox::No : QMessageBox::NoButton);
    return answer == QMessageBox::Yes;
}

void WidgetDialogs::notice(QWidget* parent, const QString& title, const QString& text) {
    closeNotice();
    openNotice = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    openNotice->setAttribute(Qt::WA_DeleteOnClose);
    openNotice->open();
}

void WidgetDialogs::closeNotice() {
    if (openNotice)
        openNotice->close();
}

QString WidgetDialogs::openFileName(const QString& filter) {
    return QFileDialog::getOpenFileName(nullptr, QString(), QString(), filter);
}

QString WidgetDialogs::saveFileName() {
    return QFileDialog::getSaveFileName(nullptr, QString(), QString(), QString());
}
