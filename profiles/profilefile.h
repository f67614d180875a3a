// The profile INI file: "INDEX" holds the selection value with its mark, and one key per
// profile, the slot in two digits followed by the name, holds its 7-byte record.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

namespace ProfileFile {

extern const QString INDEX_KEY;

// The profile's name: the key without its two digits.
QString profileKeyName(const QString& key);
// The "INDEX" value; 0 (no mark) when absent, not a number or wider than 32 bits.
quint32 indexValue(const QSettings& file);
// Whether every key can go into the device as it stands; checked before anything is erased.
bool isValidProfileFile(const QSettings& file, const QStringList& keys);

} // namespace ProfileFile
