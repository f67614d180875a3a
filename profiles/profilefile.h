// The profile INI file: "INDEX" holds the selection value with its mark, and one key per
// profile, the slot in two digits followed by the name, holds its 7-byte record.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

namespace ProfileFile {

extern const QString INDEX_KEY;
// Profile files are ".ini" files.
extern const QString EXTENSION;

// The key of a profile: its record's slot in two digits, then the name.
QString profileKey(const QByteArray& record, const QString& name);
// The profile's name: the key without its two digits.
QString profileKeyName(const QString& key);
// The "INDEX" value; 0 (no mark) when absent, not a number or wider than 32 bits.
quint32 indexValue(const QSettings& file);
// Whether every key can go into the device as it stands; checked before anything is erased.
bool isValidProfileFile(const QSettings& file, const QStringList& keys);

} // namespace ProfileFile
