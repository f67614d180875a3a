#include "profiles/profilestore.h"

#include "device/devicelink.h"
#include "profiles/profilefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

using namespace Protocol;

namespace {
// The factory curves: listed and chosen like any other, never overwritten or removed here.
const QString PROTECTED_NAME = QStringLiteral("DEFAULT");

bool isShownRecord(const QByteArray& record) {
    return record.size() >= PROFILE_RECORD_SIZE && isAxisId(recordAxisId(record));
}
} // namespace

ProfileStore::ProfileStore(QObject* parent)
    : QObject(parent) {}

void ProfileStore::setCurrent(int axis, int index, bool preview) {
    if (index < 0 || index >= lists[axis].size())
        index = -1;
    if (index == currents[axis])
        return;
    currents[axis] = index;
    if (index < 0)
        return;
    // A name only typed in has no curve to show or to send.
    const QByteArray record = lists[axis][index].record;
    if (!isShownRecord(record))
        return;
    emit curveChosen(recordAxisId(record) - 1, recordPoints(record));
    // A preview: the device uses the curves at once but keeps its stored choice.
    if (preview && previews)
        DeviceLink::writeSetting(VEXIE_PROFILE_SELECT, selection(false), false);
}

void ProfileStore::append(int axis, const Entry& entry) {
    lists[axis].append(entry);
    // The first entry of an empty list becomes current.
    if (lists[axis].size() == 1)
        setCurrent(axis, 0);
}

void ProfileStore::clearList(int axis) {
    lists[axis].clear();
    currents[axis] = -1;
}

int ProfileStore::findBySlot(int axis, int slot) const {
    for (int i = 0; i < lists[axis].size(); ++i) {
        const QByteArray& record = lists[axis][i].record;
        if (!record.isEmpty() && recordSlot(record) == quint8(slot))
            return i;
    }
    return -1;
}

int ProfileStore::findByName(int axis, const QString& name) const {
    for (int i = 0; i < lists[axis].size(); ++i)
        if (lists[axis][i].name == name)
            return i;
    return -1;
}

// The first entry of that name that stands for a stored profile: a typed name has none.
int ProfileStore::findStored(int axis, const QString& name) const {
    for (int i = 0; i < lists[axis].size(); ++i)
        if (lists[axis][i].name == name && !lists[axis][i].record.isEmpty())
            return i;
    return -1;
}

bool ProfileStore::findProfileBySlot(int slot, Entry& found) const {
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        const int index = findBySlot(axis, slot);
        if (index >= 0) {
            found = lists[axis][index];
            return true;
        }
    }
    return false;
}

bool ProfileStore::load() {
    complete = false;
    for (int axis = 0; axis < AXIS_COUNT; ++axis)
        clearList(axis);

    for (int slot = 0; slot < PROFILE_SLOTS; ++slot) {
        FeatureReport nameReply{};
        // A missing reply reads as a free slot: the lists would silently lose a profile.
        if (!DeviceLink::query(ITEM_PROFILE_NAME, quint8(slot), nameReply))
            return false;
        if (isFreeSlot(nameReply))
            continue;
        FeatureReport curveReply{};
        if (!DeviceLink::query(ITEM_PROFILE_CURVE, quint8(slot), curveReply))
            return false;
        const QByteArray record = profileRecord(curveReply);
        // Named, but its curve never arrived: no profile to list, and the next slots count.
        if (isUnwrittenCurve(record))
            continue;
        // A slot the device filled with something unknown: what follows cannot be trusted
        // either, and neither can a selection that may point into it.
        if (!isAxisId(recordAxisId(record)))
            return true;
        const int axis = recordAxisId(record) - 1;
        const Entry entry{decodeProfileName(nameReply), record};
        const int existing = findBySlot(axis, slot);
        if (existing >= 0)
            lists[axis][existing] = entry;
        else
            append(axis, entry);
    }
    bool selectionRead = false;
    const quint32 kept = DeviceLink::readSetting(VEXIE_PROFILE_SELECT, &selectionRead);
    if (!selectionRead)
        return false;
    applySelection(kept);
    complete = true;
    return true;
}

void ProfileStore::choose(int axis, int index, const QString& typedName) {
    if (index >= lists[axis].size())
        lists[axis].append(Entry{typedName, QByteArray()});
    setCurrent(axis, index);
}

bool ProfileStore::select(int axis, const QString& name) {
    const int index = findStored(axis, name);
    if (index < 0)
        return false;
    setCurrent(axis, index, false);
    return true;
}

quint32 ProfileStore::selection(bool marked) const {
    std::array<quint8, AXIS_COUNT> chosen{};
    for (int axis = 0; axis < AXIS_COUNT; ++axis)
        if (currents[axis] >= 0)
            chosen[axis] = recordSlot(lists[axis][currents[axis]].record);
    return packSelection(chosen[0], chosen[1], chosen[2], marked);
}

void ProfileStore::applySelection(quint32 value) {
    // Without the mark the device keeps no choice: each list stays on what it shows.
    if (!selectionIsStored(value))
        return;
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        const int index = findBySlot(axis, selectionSlot(value, axis));
        setCurrent(axis, index >= 0 ? index : 0);
    }
}

bool ProfileStore::commitSelection() {
    // Lists read only in part would replace the device's choice with their fallbacks.
    if (!complete)
        return false;
    // Every write of the kept choice costs a flash write: only when it changes.
    const quint32 wanted = selection(true);
    bool read = false;
    if (DeviceLink::readSetting(VEXIE_PROFILE_SELECT, &read) == wanted && read)
        return true;
    return DeviceLink::wasSent(DeviceLink::sendSetting(VEXIE_PROFILE_SELECT, wanted, true));
}

int ProfileStore::findFreeSlot() const {
    for (int slot = 0; slot < PROFILE_SLOTS; ++slot) {
        FeatureReport reply{};
        // Without a reply the slot may hold a profile: never guess it free.
        if (!DeviceLink::query(ITEM_PROFILE_NAME, quint8(slot), reply))
            return SLOT_UNKNOWN;
        if (isFreeSlot(reply))
            return slot;
    }
    return NO_FREE_SLOT;
}

bool ProfileStore::writeProfile(int slot, const QString& name, const QByteArray& record) {
    FeatureReport buffer{};
    // Without both replies the comparison would be with zeros, which look like a cleared
    // slot: a removal would then be taken for done.
    if (!DeviceLink::query(ITEM_PROFILE_NAME, quint8(slot), buffer))
        return false;
    const QString deviceName = decodeProfileName(buffer);
    if (!DeviceLink::query(ITEM_PROFILE_CURVE, quint8(slot), buffer))
        return false;
    // Flash wears: a slot that already holds this profile is left alone.
    if (name == deviceName && record.left(PROFILE_RECORD_SIZE) == profileRecord(buffer))
        return true;
    return DeviceLink::writeProfileReports(quint8(slot), name, record, buffer);
}

bool ProfileStore::clearProfile(int slot) {
    // An empty name frees the slot; the device is left with axis id 0 and zero points.
    return writeProfile(slot, QString(), QByteArray(PROFILE_RECORD_SIZE, '\0'));
}

ProfileStore::SaveResult ProfileStore::save(int axis, const QString& name,
                                            const QByteArray& points) {
    if (name == PROTECTED_NAME)
        return SaveResult::Protected;
    // An empty name would leave the slot free: the profile would vanish from the list.
    if (name.isEmpty())
        return SaveResult::EmptyName;
    // The device holds 16 bytes of UTF-8; a cut name would not be the one shown.
    if (!profileNameFits(name))
        return SaveResult::NameTooLong;

    const int stored = findStored(axis, name);
    const int slot = stored >= 0 ? recordSlot(lists[axis][stored].record) : findFreeSlot();
    if (slot == SLOT_UNKNOWN)
        return SaveResult::LinkFailed;
    if (slot == NO_FREE_SLOT)
        return SaveResult::Full;

    const QByteArray record = makeProfileRecord(quint8(slot), quint8(axis + 1), points);
    // A name typed and confirmed already has an entry; it gets the record, so the choice
    // committed names this slot. Otherwise a new entry, which the reload below replaces.
    const int first = findByName(axis, name);
    if (first >= 0 && lists[axis][first].record.isEmpty())
        lists[axis][first].record = record;
    else
        append(axis, Entry{name, record});
    setCurrent(axis, findByName(axis, name));

    // A profile the device did not take must not become the kept choice, nor be reported.
    if (!writeProfile(slot, name, record))
        return SaveResult::LinkFailed;
    commitSelection();
    // The device is the reference.
    return load() ? SaveResult::Saved : SaveResult::LinkFailed;
}

ProfileStore::RemoveResult ProfileStore::remove(int axis, const QString& name) {
    if (name == PROTECTED_NAME)
        return RemoveResult::Protected;
    // A name only typed in has no slot to clear.
    const int stored = findStored(axis, name);
    if (stored < 0)
        return RemoveResult::NotStored;
    if (!clearProfile(recordSlot(lists[axis][stored].record)))
        return RemoveResult::LinkFailed;
    // Rebuilt first: a list whose chosen profile is gone falls back to its first entry,
    // and that is the choice committed.
    if (!load())
        return RemoveResult::LinkFailed;
    commitSelection();
    return RemoveResult::Removed;
}

bool ProfileStore::exportFile(QString path) const {
    using namespace ProfileFile;
    if (!path.endsWith(EXTENSION))
        path += EXTENSION;
    // QSettings would merge with an older file: none of its keys may survive.
    if (QFileInfo::exists(path) && !QFile::remove(path))
        return false;
    QSettings file(path, QSettings::IniFormat);
    for (int slot = 0; slot < PROFILE_SLOTS; ++slot) {
        Entry entry;
        if (findProfileBySlot(slot, entry))
            file.setValue(profileKey(entry.record, entry.name), entry.record);
    }
    file.setValue(INDEX_KEY, QVariant(uint(selection(true))));
    file.sync();
    return file.status() == QSettings::NoError && QFileInfo(path).isFile();
}

ProfileStore::ImportResult ProfileStore::importFile(const QString& path,
                                                    const std::function<bool()>& beforeErasing) {
    using namespace ProfileFile;
    if (!path.endsWith(EXTENSION))
        return ImportResult::NotIni;
    const QSettings file(path, QSettings::IniFormat);
    const QStringList keys = file.allKeys();
    if (!isValidProfileFile(file, keys))
        return ImportResult::Invalid;
    if (beforeErasing && !beforeErasing())
        return ImportResult::Cancelled;

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
    if (!written || !load())
        return ImportResult::LinkFailed;
    applySelection(indexValue(file));
    // Without its selection the file is not what the device now holds.
    return commitSelection() ? ImportResult::Imported : ImportResult::LinkFailed;
}
