// What the window asks of the user: message boxes and file choices. The window goes
// through this interface so that tests can answer it directly instead of hunting for
// modal dialogs on a timer.
#pragma once

#include "profiles/gamerules.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>

class QWidget;

class UserDialogs {
public:
    enum class Kind { Information, Critical };

    virtual ~UserDialogs() = default;
    // A modal box with one OK button.
    virtual void tell(QWidget* parent, Kind kind, const QString& title, const QString& text) = 0;
    // Yes and No; true for Yes. With noByDefault, No is the default button.
    virtual bool ask(QWidget* parent, const QString& title, const QString& text,
                     bool noByDefault) = 0;
    // A box saying that the program is busy; closeNotice() closes it once the program no
    // longer is. Here told as any other box; the real one does not wait for OK.
    virtual void notice(QWidget* parent, const QString& title, const QString& text) {
        tell(parent, Kind::Information, title, text);
    }
    virtual void closeNotice() {}
    // The platform's file dialogs, without a parent; empty when cancelled.
    virtual QString openFileName(const QString& filter) = 0;
    virtual QString saveFileName() = 0;
    // The rules per game, edited in place; false when cancelled. profiles: the names the
    // pedal set holds per axis; running: the programs running now; autostart: whether the
    // background watcher starts with the desktop.
    virtual bool editGames(QWidget* parent, GameRules::File& file,
                           const std::array<QStringList, Protocol::AXIS_COUNT>& profiles,
                           const QStringList& running, bool& autostart) = 0;
};

// The real message boxes and file dialogs.
class WidgetDialogs : public UserDialogs {
public:
    void tell(QWidget* parent, Kind kind, const QString& title, const QString& text) override;
    bool ask(QWidget* parent, const QString& title, const QString& text, bool noByDefault) override;
    void notice(QWidget* parent, const QString& title, const QString& text) override;
    void closeNotice() override;
    QString openFileName(const QString& filter) override;
    QString saveFileName() override;
    bool editGames(QWidget* parent, GameRules::File& file,
                   const std::array<QStringList, Protocol::AXIS_COUNT>& profiles,
                   const QStringList& running, bool& autostart) override;

private:
    QPointer<QMessageBox> openNotice;
};
