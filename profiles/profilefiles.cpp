// Profile files: every listed profile and the choice per axis, kept by the user as an INI
// file. One key per profile, the slot in two digits followed by the name ("03RACE"), whose
// value is the 7-byte record; "INDEX" holds the selection value with its mark. Qt's own INI
// encoding escapes the keys and writes the records as byte arrays.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "device/protocol.h"
#include "profiles/profilefile.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

using namespace Protocol;

namespace {

const QString EXTENSION = QStringLiteral(".ini");

void notify(QWidget* window, const QString& text) {
    QMessageBox::information(window, MainWindow::tr("Notify"), text, QMessageBox::Ok);
}

} // namespace

namespace ProfileFile {

const QString INDEX_KEY = QStringLiteral("INDEX");

namespace {
constexpr int KEY_DIGITS = 2;

bool isProfileKey(const QString& key) {
    return key.size() >= KEY_DIGITS && key.at(0).isDigit() && key.at(1).isDigit();
}
} // namespace

QString profileKeyName(const QString& key) {
    return key.mid(KEY_DIGITS);
}

// Absent, not a number or wider than 32 bits: 0, which carries no mark.
quint32 indexValue(const QSettings& file) {
    bool ok = false;
    const qulonglong value = file.value(INDEX_KEY).toULongLong(&ok);
    return ok && value <= 0xFFFFFFFFull ? quint32(value) : 0;
}

// Import erases every slot before it writes the file's profiles, so the file is checked
// whole first: a record the device cannot hold, or a name it would cut, refuses it all.
bool isValidProfileFile(const QSettings& file, const QStringList& keys) {
    if (file.status() != QSettings::NoError || !keys.contains(INDEX_KEY))
        return false;
    for (const QString& key : keys) {
        if (key == INDEX_KEY)
            continue;
        if (!isProfileKey(key) || !isStorableRecord(file.value(key).toByteArray()) ||
            !profileNameFits(profileKeyName(key)))
            return false;
    }
    return selectionIsStored(indexValue(file));
}

} // namespace ProfileFile

using namespace ProfileFile;

void MainWindow::onProfileExport() {
    QString path = QFileDialog::getSaveFileName(nullptr, QString(), QString(), QString());
    if (path.isEmpty())
        return;
    if (!path.endsWith(EXTENSION))
        path += EXTENSION;

    // QSettings would merge with an older file: none of its keys may survive.
    bool written = !QFileInfo::exists(path) || QFile::remove(path);
    if (written) {
        QSettings file(path, QSettings::IniFormat);
        for (int slot = 0; slot < PROFILE_SLOTS; ++slot) {
            QString name;
            QByteArray record;
            if (findProfileBySlot(slot, name, record))
                file.setValue(QString::asprintf("%02d", int(recordSlot(record))) + name, record);
        }
        file.setValue(INDEX_KEY, QVariant(uint(packProfileSelection(true))));
        file.sync();
        written = file.status() == QSettings::NoError && QFileInfo(path).isFile();
    }
    if (!written)
        notify(this, tr("INI file can not be written."));
}

void MainWindow::onProfileImport() {
    const QString path = QFileDialog::getOpenFileName(nullptr, QString(), QString(), QString());
    if (path.isEmpty())
        return;
    if (!path.endsWith(EXTENSION)) {
        notify(this, tr("Please choose INI file"));
        return;
    }

    const QSettings file(path, QSettings::IniFormat);
    const QStringList keys = file.allKeys();
    if (!isValidProfileFile(file, keys)) {
        notify(this, tr("INI file is not valid."));
        return;
    }

    // The file replaces everything the device holds, the factory curves included. Once a
    // report fails, the rest is not sent and the file's choice is not kept: connecting
    // again shows what the device holds.
    bool written = true;
    for (int slot = 0; slot < PROFILE_SLOTS && written; ++slot)
        written = clearProfile(slot);
    for (const QString& key : keys) {
        if (key == INDEX_KEY || !written)
            continue;
        // The record's own slot counts, not the key's digits; a later key of the same
        // slot wins.
        const QByteArray record = file.value(key).toByteArray().left(PROFILE_RECORD_SIZE);
        written = writeProfile(recordSlot(record), profileKeyName(key), record);
    }
    if (!written || !loadProfiles()) {
        linkFailed();
        return;
    }
    applyProfileSelection(indexValue(file));
    commitProfileSelection();
}
