// Profile files: every listed profile and the choice per axis, kept by the user as an INI
// file. One key per profile, the slot in two digits followed by the name ("03RACE"), whose
// value is the 7-byte record; "INDEX" holds the selection value with its mark. Qt's own INI
// encoding escapes the keys and writes the records as byte arrays.
#include "profiles/profilefile.h"

#include "device/protocol.h"

namespace ProfileFile {

const QString INDEX_KEY = QStringLiteral("INDEX");
const QString EXTENSION = QStringLiteral(".ini");

namespace {
constexpr int KEY_DIGITS = 2;

bool isProfileKey(const QString& key) {
    return key.size() >= KEY_DIGITS && key.at(0).isDigit() && key.at(1).isDigit();
}
} // namespace

QString profileKey(const QByteArray& record, const QString& name) {
    return QString::asprintf("%02d", int(Protocol::recordSlot(record))) + name;
}

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
        if (!isProfileKey(key) || !Protocol::isStorableRecord(file.value(key).toByteArray()) ||
            !Protocol::profileNameFits(profileKeyName(key)))
            return false;
    }
    return Protocol::selectionIsStored(indexValue(file));
}

} // namespace ProfileFile
