// Device profiles: the pedal set keeps up to 16 named response curves in flash, in slots
// shared by the three axes, and which slot each axis uses (VEXIE_PROFILE_SELECT). The combo
// boxes of the PROFILES page are the program's only copy of the list, one per axis; every
// save and removal ends by reading the list back from the device.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "device/devicelink.h"

#include <QMessageBox>

#include <optional>

using namespace Protocol;

namespace {

// The factory curves: listed and chosen like any other, never overwritten or removed here.
const QString PROTECTED_NAME = QStringLiteral("DEFAULT");

std::array<QComboBox*, AXIS_COUNT> profileLists(const Ui::MainWindow* ui) {
    return {ui->cbPro0, ui->cbPro1, ui->cbPro2};
}

std::array<VexoAxis*, AXIS_COUNT> curveWidgets(const Ui::MainWindow* ui) {
    return {ui->ctAdc0, ui->ctAdc1, ui->ctAdc2};
}

QByteArray entryRecord(const QComboBox* list, int index) {
    return list->itemData(index, Qt::UserRole).toByteArray();
}

// Empty when nothing is current, or when the current entry was typed in by the user.
QByteArray currentRecord(const QComboBox* list) {
    return list->currentData(Qt::UserRole).toByteArray();
}

int findEntryByText(const QComboBox* list, const QString& name) {
    for (int i = 0; i < list->count(); ++i)
        if (list->itemText(i) == name)
            return i;
    return -1;
}

// The first entry of that name that stands for a stored profile. A name typed and confirmed
// with Enter has an entry too, but no record: no slot of the device belongs to it.
int findStoredEntry(const QComboBox* list, const QString& name) {
    for (int i = 0; i < list->count(); ++i)
        if (list->itemText(i) == name && !entryRecord(list, i).isEmpty())
            return i;
    return -1;
}

int findEntryBySlot(const QComboBox* list, int slot) {
    for (int i = 0; i < list->count(); ++i) {
        const QByteArray record = entryRecord(list, i);
        if (!record.isEmpty() && recordSlot(record) == quint8(slot))
            return i;
    }
    return -1;
}

// The column of a save or remove button from the last character of its name ("pbDelPro2").
int buttonColumn(const QObject* button) {
    const QString name = button ? button->objectName() : QString();
    if (name.isEmpty())
        return -1;
    const QChar last = name.back();
    if (last < QLatin1Char('0') || last > QLatin1Char('2'))
        return -1;
    return last.unicode() - '0';
}

// What a save or remove button acts on: its column, that column's list and the name shown.
struct ProfileTarget {
    int column;
    QComboBox* list;
    QString name;
};

std::optional<ProfileTarget> profileTarget(const QObject* button, const Ui::MainWindow* ui) {
    const int column = buttonColumn(button);
    if (column < 0)
        return std::nullopt;
    QComboBox* list = profileLists(ui)[column];
    return ProfileTarget{column, list, list->currentText()};
}

void notify(QWidget* window, const QString& text) {
    QMessageBox::information(window, MainWindow::tr("Notify"), text, QMessageBox::Ok);
}

} // namespace

bool MainWindow::loadProfiles() {
    profilesComplete = false;
    const auto lists = profileLists(ui);
    for (QComboBox* list : lists)
        list->clear();

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
        QComboBox* list = lists[recordAxisId(record) - 1];
        const QString name = decodeProfileName(nameReply);
        const int existing = findEntryBySlot(list, slot);
        if (existing >= 0) {
            list->setItemText(existing, name);
            list->setItemData(existing, record, Qt::UserRole);
        } else {
            list->addItem(name, record);
        }
    }
    bool selectionRead = false;
    const quint32 selection = DeviceLink::readSetting(VEXIE_PROFILE_SELECT, &selectionRead);
    if (!selectionRead)
        return false;
    applyProfileSelection(selection);
    profilesComplete = true;
    return true;
}

int MainWindow::findFreeSlot() {
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

quint32 MainWindow::packProfileSelection(bool marked) const {
    const auto lists = profileLists(ui);
    auto slotOf = [](const QComboBox* list) {
        return recordSlot(currentRecord(list));
    };
    return packSelection(slotOf(lists[0]), slotOf(lists[1]), slotOf(lists[2]), marked);
}

void MainWindow::applyProfileSelection(quint32 selection) {
    // Without the mark the device keeps no choice: each list stays on what it shows.
    if (!selectionIsStored(selection))
        return;
    const auto lists = profileLists(ui);
    for (int axis = 0; axis < AXIS_COUNT; ++axis)
        selectProfileBySlot(lists[axis], selectionSlot(selection, axis));
}

void MainWindow::sendProfileSelection() {
    // A preview: the device uses the curves at once but keeps its stored choice.
    DeviceLink::writeSetting(VEXIE_PROFILE_SELECT, packProfileSelection(false), false);
}

void MainWindow::commitProfileSelection() {
    // Lists read only in part would replace the device's choice with their fallbacks.
    if (!profilesComplete)
        return;
    // Every write of the kept choice costs a flash write: only when it changes.
    const quint32 wanted = packProfileSelection(true);
    bool read = false;
    if (DeviceLink::readSetting(VEXIE_PROFILE_SELECT, &read) != wanted || !read)
        DeviceLink::writeSetting(VEXIE_PROFILE_SELECT, wanted, true);
}

bool MainWindow::writeProfile(int slot, const QString& name, const QByteArray& record) {
    FeatureReport buffer{};
    DeviceLink::query(ITEM_PROFILE_NAME, quint8(slot), buffer);
    const QString deviceName = decodeProfileName(buffer);
    DeviceLink::query(ITEM_PROFILE_CURVE, quint8(slot), buffer);
    // Flash wears: a slot that already holds this profile is left alone.
    if (name == deviceName && record.left(PROFILE_RECORD_SIZE) == profileRecord(buffer))
        return true;
    return DeviceLink::writeProfileReports(quint8(slot), name, record, buffer);
}

bool MainWindow::clearProfile(int slot) {
    // An empty name frees the slot; the device is left with axis id 0 and zero points.
    return writeProfile(slot, QString(), QByteArray(PROFILE_RECORD_SIZE, '\0'));
}

void MainWindow::selectProfileBySlot(QComboBox* list, int slot) {
    const int index = findEntryBySlot(list, slot);
    list->setCurrentIndex(index >= 0 ? index : 0);
}

void MainWindow::selectProfileByName(QComboBox* list, const QString& name) {
    const int index = findEntryByText(list, name);
    if (index >= 0)
        list->setCurrentIndex(index);
}

bool MainWindow::findProfileBySlot(int slot, QString& name, QByteArray& record) const {
    for (const QComboBox* list : profileLists(ui)) {
        const int index = findEntryBySlot(list, slot);
        if (index >= 0) {
            name = list->itemText(index);
            record = entryRecord(list, index);
            return true;
        }
    }
    return false;
}

void MainWindow::onProfileChanged() {
    const auto* list = qobject_cast<const QComboBox*>(sender());
    if (!list)
        return;
    const QByteArray record = currentRecord(list);
    // A cleared list, or a name the user typed: nothing to show or to send.
    if (record.size() < PROFILE_RECORD_SIZE || !isAxisId(recordAxisId(record)))
        return;
    curveWidgets(ui)[recordAxisId(record) - 1]->setPoints(recordPoints(record));
    sendProfileSelection();
}

void MainWindow::onProfileSave() {
    const auto target = profileTarget(sender(), ui);
    if (!target)
        return;
    const auto [column, list, name] = *target;

    if (name == PROTECTED_NAME) {
        notify(this, tr("Can not save to DEFAULT, please use a different name."));
        return;
    }
    // An empty name would leave the slot free: the profile would vanish from the list.
    if (name.isEmpty()) {
        notify(this, tr("Please enter a profile name."));
        return;
    }
    // The device holds 16 bytes of UTF-8; a cut name would not be the one shown.
    if (!profileNameFits(name)) {
        notify(this, tr("Profile name is too long, please use a shorter name."));
        return;
    }

    const int stored = findStoredEntry(list, name);
    int slot = stored >= 0 ? recordSlot(entryRecord(list, stored)) : findFreeSlot();
    if (slot == SLOT_UNKNOWN) {
        linkFailed();
        return;
    }
    if (slot == NO_FREE_SLOT) {
        notify(this, tr("Profile is full"));
        return;
    }

    const QByteArray record =
        makeProfileRecord(quint8(slot), quint8(column + 1), curveWidgets(ui)[column]->points());
    // A name typed and confirmed with Enter already has an entry, made current by the
    // name lookup below; it gets the record, so the selection committed names this slot.
    const int first = findEntryByText(list, name);
    if (first >= 0 && entryRecord(list, first).isEmpty())
        list->setItemData(first, record, Qt::UserRole);
    else
        list->addItem(name, record);
    selectProfileByName(list, name);

    // A profile the device did not take must not become the kept choice, nor be reported.
    if (!writeProfile(slot, name, record)) {
        linkFailed();
        return;
    }
    commitProfileSelection();
    // The device is the reference: this also drops the duplicate entry added above.
    if (!loadProfiles()) {
        linkFailed();
        return;
    }
    notify(this, tr("Profile is saved"));
}

void MainWindow::onProfileRemove() {
    const auto target = profileTarget(sender(), ui);
    if (!target)
        return;
    QComboBox* list = target->list;
    const QString& name = target->name;

    if (name == PROTECTED_NAME) {
        notify(this, tr("DEFAULT can not be removed."));
        return;
    }
    // A name only typed in has no slot to clear.
    const int stored = findStoredEntry(list, name);
    if (stored < 0)
        return;

    if (!clearProfile(recordSlot(entryRecord(list, stored)))) {
        linkFailed();
        return;
    }
    // Rebuilt first: a list whose chosen profile is gone falls back to its first entry,
    // and that is the choice committed.
    if (!loadProfiles()) {
        linkFailed();
        return;
    }
    commitProfileSelection();
}
