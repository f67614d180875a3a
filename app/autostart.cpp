#include "app/autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace Autostart {

namespace {
const QString WATCH = QStringLiteral("--watch");

QString tr(const char* text) {
    return QCoreApplication::translate("Autostart", text);
}

QString program() {
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
}

#ifdef Q_OS_WIN
const QString RUN_KEY =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString VALUE = QStringLiteral("VexoSettingWatch");
#endif
} // namespace

QString location() {
#ifdef Q_OS_WIN
    return RUN_KEY + QLatin1Char('\\') + VALUE;
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/vexo-setting-watch.desktop");
#endif
}

bool isEnabled() {
#ifdef Q_OS_WIN
    return QSettings(RUN_KEY, QSettings::NativeFormat).contains(VALUE);
#else
    return QFile::exists(location());
#endif
}

QString setEnabled(bool enabled) {
#ifdef Q_OS_WIN
    QSettings run(RUN_KEY, QSettings::NativeFormat);
    if (enabled)
        run.setValue(VALUE, QStringLiteral("\"%1\" %2").arg(program(), WATCH));
    else
        run.remove(VALUE);
    run.sync();
    return run.status() == QSettings::NoError ? QString()
                                              : tr("%1 can not be written.").arg(location());
#else
    if (!enabled)
        return !QFile::exists(location()) || QFile::remove(location())
                   ? QString()
                   : tr("%1 can not be removed.").arg(location());
    // The program's path is quoted as the desktop entry format wants it.
    QString quoted = program();
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""))
        .replace(QLatin1Char('`'), QLatin1String("\\`"))
        .replace(QLatin1Char('$'), QLatin1String("\\$"))
        .replace(QLatin1Char('%'), QLatin1String("%%"));
    const QByteArray entry = QStringLiteral("[Desktop Entry]\nType=Application\n"
                                            "Name=Vexo Setting: profiles per game\n"
                                            "Exec=\"%1\" %2\nIcon=vexo-setting\n"
                                            "X-GNOME-Autostart-enabled=true\nNoDisplay=true\n")
                                 .arg(quoted, WATCH)
                                 .toUtf8();
    QDir().mkpath(QFileInfo(location()).absolutePath());
    QSaveFile file(location());
    return file.open(QIODevice::WriteOnly) && file.write(entry) == entry.size() && file.commit()
               ? QString()
               : tr("%1 can not be written.").arg(location());
#endif
}

} // namespace Autostart
