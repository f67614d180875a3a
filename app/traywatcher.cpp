#include "app/traywatcher.h"

#include "app/commandline.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>

TrayWatcher::TrayWatcher(const QString& serverName, const QString& rules,
                         const GameWatcher::Options& options, QObject* parent)
    : QObject(parent)
    , rulesPath(rules)
    , games(
          [serverName](const ProfileCommand& command) {
              return CommandLine::carryOut(command, serverName);
          },
          options) {
    current = trayMenu.addAction(QString());
    current->setEnabled(false);
    trayMenu.addSeparator();
    // Open starts the window, or brings the running one to the front.
    trayMenu.addAction(tr("Open"), this, [] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    });
    pause = trayMenu.addAction(tr("Pause"));
    pause->setCheckable(true);
    connect(pause, &QAction::toggled, this, &TrayWatcher::setPaused);
    trayMenu.addAction(tr("Quit"), qApp, &QCoreApplication::quit);
    tray.setIcon(QIcon(QStringLiteral(":/icons/32.png")));
    tray.setToolTip(tr("Vexo Setting: profiles per game"));
    tray.setContextMenu(&trayMenu);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        tray.show();
    connect(&games, &GameWatcher::switched, this, &TrayWatcher::tell);
    // An editor may replace the file rather than write it: the folder is watched as well.
    QDir().mkpath(QFileInfo(rulesPath).absolutePath()); // rules added later are seen too
    file.addPath(QFileInfo(rulesPath).absolutePath());
    if (QFileInfo::exists(rulesPath))
        file.addPath(rulesPath);
    connect(&file, &QFileSystemWatcher::fileChanged, this, &TrayWatcher::reload);
    connect(&file, &QFileSystemWatcher::directoryChanged, this, &TrayWatcher::reload);
}

QString TrayWatcher::alreadyRunning(qint64 pid) {
    return tr("A watcher is already running (process %1).").arg(pid);
}

void TrayWatcher::reload() {
    if (QFileInfo::exists(rulesPath) && !file.files().contains(rulesPath))
        file.addPath(rulesPath);
    const GameRules::File rules = GameRules::load(rulesPath);
    if (!rules.error.isEmpty()) {
        games.stop();
        tell(rules.error);
        showGames();
        return;
    }
    games.setRules(rules.rules);
    setPaused(pause->isChecked() || !rules.automatic);
}

void TrayWatcher::setPaused(bool paused) {
    if (paused)
        games.stop();
    else if (!games.isRunning())
        games.start();
    showGames();
}

void TrayWatcher::tell(const QString& text) {
    showGames();
    emit told(text);
    if (tray.isVisible())
        tray.showMessage(tr("Vexo Setting"), text, QSystemTrayIcon::Information);
}

void TrayWatcher::showGames() {
    const QStringList running = games.activeGames();
    current->setText(!games.isRunning()  ? tr("Paused")
                     : running.isEmpty() ? tr("No game running")
                                         : running.join(QLatin1Char('\n')));
}
