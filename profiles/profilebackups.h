// Copies of the pedal set's profiles, taken before anything erases them: an INI import,
// clear flash and a firmware upload. A backup is an ordinary profile file named by the
// time it was taken; importing it restores the profiles and the selection.
#pragma once

#include <QDateTime>
#include <QString>

class ProfileStore;

class ProfileBackups {
public:
    // The newest this many are kept.
    static constexpr int KEEP = 20;

    // The user's data folder of the program, "backups" in it.
    static QString defaultFolder();

    explicit ProfileBackups(const QString& folder = defaultFolder())
        : where(folder) {}
    QString folder() const { return where; }

    // Writes the store's profiles and selection into a new file; its path, or empty when
    // the store was not read whole or the file could not be written. Older backups past
    // the newest KEEP are removed, but never spare: the file about to be imported, which
    // may be an old backup itself.
    QString write(const ProfileStore& store, const QString& spare = QString(),
                  const QDateTime& now = QDateTime::currentDateTime()) const;

private:
    void prune(const QString& spare) const;

    QString where;
};
