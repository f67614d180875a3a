#include "profiles/profilebackups.h"

#include "profiles/profilefile.h"
#include "profiles/profilestore.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString PREFIX = QStringLiteral("profiles-");
// Sorting the names sorts the backups by time.
const QString TIME_FORMAT = QStringLiteral("yyyyMMdd-HHmmss-zzz");
} // namespace

QString ProfileBackups::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/backups");
}

QString ProfileBackups::write(const ProfileStore& store, const QString& spare,
                              const QDateTime& now) const {
    // A list cut short would back up less than the device holds.
    if (!store.isComplete() || !QDir().mkpath(where))
        return QString();
    const auto pathAt = [this](const QDateTime& time) {
        return QDir(where).filePath(PREFIX + time.toString(TIME_FORMAT) + ProfileFile::EXTENSION);
    };
    // Two backups within a millisecond both stay, in their order.
    QDateTime time = now;
    while (QFileInfo::exists(pathAt(time)))
        time = time.addMSecs(1);
    const QString path = pathAt(time);
    if (!store.exportFile(path))
        return QString();
    qDebug().noquote() << "Profiles backed up to" << QDir::toNativeSeparators(path);
    prune(spare);
    return path;
}

void ProfileBackups::prune(const QString& spare) const {
    QDir folder(where);
    // The same file may be named through a link or with "..": compare where it really is.
    const QString spared = spare.isEmpty() ? QString() : QFileInfo(spare).canonicalFilePath();
    const QStringList names = folder.entryList({PREFIX + QLatin1Char('*') + ProfileFile::EXTENSION},
                                               QDir::Files, QDir::Name | QDir::Reversed);
    for (qsizetype i = KEEP; i < names.size(); ++i)
        if (spared.isEmpty() || QFileInfo(folder.filePath(names[i])).canonicalFilePath() != spared)
            folder.remove(names[i]);
}
