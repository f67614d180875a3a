#include "app/userdialogs.h"
#include "app/gamesdialog.h"

#include <QFileDialog>

namespace {
// Texts are plain: a file name must not be taken for markup that hides the rest.
QMessageBox* box(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                 QMessageBox::StandardButtons buttons) {
    auto* made = new QMessageBox(icon, title, text, buttons, parent);
    made->setTextFormat(Qt::PlainText);
    made->setAttribute(Qt::WA_DeleteOnClose);
    return made;
}
} // namespace

void WidgetDialogs::tell(QWidget* parent, Kind kind, const QString& title, const QString& text) {
    const QMessageBox::Icon icon =
        kind == Kind::Critical ? QMessageBox::Critical : QMessageBox::Information;
    box(parent, icon, title, text, QMessageBox::Ok)->exec();
}

bool WidgetDialogs::ask(QWidget* parent, const QString& title, const QString& text,
                        bool noByDefault) {
    QPointer<QMessageBox> question =
        box(parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    question->setDefaultButton(noByDefault ? QMessageBox::No : QMessageBox::Yes);
    return question->exec() == QMessageBox::Yes;
}

void WidgetDialogs::notice(QWidget* parent, const QString& title, const QString& text) {
    closeNotice();
    openNotice = box(parent, QMessageBox::Information, title, text, QMessageBox::Ok);
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

bool WidgetDialogs::editGames(QWidget* parent, GameRules::File& file,
                              const std::array<QStringList, Protocol::AXIS_COUNT>& profiles,
                              const QStringList& running, bool& autostart) {
    GamesDialog dialog(file, profiles, running, parent);
    dialog.setAutostart(autostart);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    file = dialog.rules();
    autostart = dialog.autostart();
    return true;
}
