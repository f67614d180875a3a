// The game watcher in the background, started with --watch (by hand or from the desktop's
// autostart): it switches profiles by running game with no window open, shows a tray icon
// whose menu names the games running and offers Open, Pause and Quit, and tells each switch
// in a desktop notification. The rules are read again whenever the file changes. It holds
// the pedal set only for the moment of a switch; while the window is open, the window
// carries the switches out.
#pragma once

#include "app/gamewatcher.h"

#include <QAction>
#include <QFileSystemWatcher>
#include <QMenu>
#include <QSystemTrayIcon>

class TrayWatcher : public QObject {
    Q_OBJECT
public:
    TrayWatcher(const QString& serverName, const QString& rulesPath,
                const GameWatcher::Options& options = GameWatcher::Options(),
                QObject* parent = nullptr);

    // What a second --watch says.
    static QString alreadyRunning(qint64 pid);

    GameWatcher& watcher() { return games; }
    const QMenu& menu() const { return trayMenu; }
    // The rules as the file has them now, and switching by them (the first call starts
    // it); a broken file stops switching and is said.
    void reload();
    void setPaused(bool paused);

signals:
    // What the tray shows as a notification, for tests and the headless log.
    void told(const QString& text);

private:
    void tell(const QString& text);
    void showGames();

    QString rulesPath;
    GameWatcher games;
    QSystemTrayIcon tray;
    QMenu trayMenu;
    QAction* current;
    QAction* pause;
    QFileSystemWatcher file;
};
