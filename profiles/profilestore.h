// The profiles stored in the pedal set and the choice of profile per axis.
//
// The device keeps up to 16 named response curves in slots shared by the three axes, and
// which slot each axis uses (VEXIE_PROFILE_SELECT). The store holds one list per axis, as
// the PROFILES page shows it: the stored profiles of that axis in slot order, plus names
// the user typed and confirmed, which have no record. Like the page's lists, a list whose
// current entry changes to a stored profile shows its curve and sends the device the
// unmarked selection, so that the pedals use it at once; saving, removing, importing and
// closing commit the marked selection, and only when it differs from the device's.
#pragma once

#include "device/protocol.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <functional>

class ProfileStore : public QObject {
    Q_OBJECT
public:
    struct Entry {
        QString name;
        QByteArray record; // 7 bytes; empty for a name only typed in
    };

    explicit ProfileStore(QObject* parent = nullptr);

    const QList<Entry>& entries(int axis) const { return lists[axis]; }
    // Index of the current entry, -1 when the list is empty.
    int current(int axis) const { return currents[axis]; }
    // Every stored profile and the device's kept choice were read: only then may the
    // choice be committed as the one the device keeps.
    bool isComplete() const { return complete; }
    void markIncomplete() { complete = false; }

    // Rebuilds the lists from the device. False when a reply did not arrive.
    bool load();
    // The user made entry index current; an index past the end is a name just typed in
    // and confirmed, which becomes a new entry without a record.
    void choose(int axis, int index, const QString& typedName);
    // Makes the first stored profile of that name current, without a preview; false when
    // the axis has none of that name.
    bool select(int axis, const QString& name);
    // The entry of the first stored profile of that name on the axis; -1 when none.
    int findStored(int axis, const QString& name) const;
    // Whether a change of a current entry previews the selection on the device. The page's
    // lists do; a command changes nothing on the device until it commits.
    void setPreviews(bool on) { previews = on; }

    quint32 selection(bool marked) const;
    // Makes each list's entry of the slot current, when the value carries the keep mark.
    void applySelection(quint32 selection);
    // Stores the lists' choice as the device's kept one, when complete and different.
    // False when the lists are incomplete or a report did not go through.
    bool commitSelection();

    enum class SaveResult { Saved, Protected, EmptyName, NameTooLong, Full, LinkFailed };
    // Saves points under name as a profile of axis: into the slot of the stored entry of
    // that name, or into the first free slot.
    SaveResult save(int axis, const QString& name, const QByteArray& points);
    enum class RemoveResult { Removed, Protected, NotStored, LinkFailed };
    RemoveResult remove(int axis, const QString& name);

    // Every listed profile by slot, and the marked choice, as an INI file. A missing
    // ".ini" is appended to path. False when the file could not be written.
    bool exportFile(QString path) const;
    enum class ImportResult { Imported, NotIni, Invalid, LinkFailed, Cancelled };
    // Replaces every slot with the file's profiles and makes its choice current. Once the
    // file is found valid, beforeErasing may still call it off by returning false.
    ImportResult importFile(const QString& path,
                            const std::function<bool()>& beforeErasing = nullptr);

signals:
    // A list's current entry changed to a stored profile: its curve is now in use.
    void curveChosen(int axis, const QByteArray& points);

private:
    void setCurrent(int axis, int index, bool preview = true);
    void append(int axis, const Entry& entry);
    void clearList(int axis);
    int findBySlot(int axis, int slot) const;
    int findByName(int axis, const QString& name) const;
    bool findProfileBySlot(int slot, Entry& found) const;
    // The first free slot; NO_FREE_SLOT, or SLOT_UNKNOWN when a reply did not arrive.
    static constexpr int NO_FREE_SLOT = -1;
    static constexpr int SLOT_UNKNOWN = -2;
    int findFreeSlot() const;
    // Writes the slot only when the device holds something else; false when a query or a
    // write did not arrive.
    bool writeProfile(int slot, const QString& name, const QByteArray& record);
    bool clearProfile(int slot);

    std::array<QList<Entry>, Protocol::AXIS_COUNT> lists;
    std::array<int, Protocol::AXIS_COUNT> currents{-1, -1, -1};
    bool complete = false;
    bool previews = true;
};
