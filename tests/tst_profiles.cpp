// The PROFILES page on the virtual pedal set: listing, choosing, saving and removing
// profiles, the selection the device keeps, and profile INI files, asserting the wire.
#include "tests/windowfixture.h"

#include "device/protocol.h"
#include "profiles/vexoaxis.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

using Points = std::array<quint8, 5>;

namespace {

constexpr quint8 PROFILE_SELECT = 0x0F;
const Points FACTORY_CURVE{17, 33, 50, 67, 83};

QString hexOf(const QByteArray& bytes) {
    QByteArray b = bytes;
    b.append(QByteArray(20 - b.size(), '\0'));
    return PedalSim::hex(b);
}

QString hexReport(const QString& prefix) {
    return hexOf(QByteArray::fromHex(prefix.toLatin1()));
}

QString nameQuery(int slot) {
    return hexReport(QString::asprintf("020B03%02X", slot));
}

QString curveQuery(int slot) {
    return hexReport(QString::asprintf("020B04%02X", slot));
}

const QString SELECTION_QUERY = reportHex("020B0C0F");
const QString DEADZONE_QUERY = reportHex("020B0501");

// The unmarked selection a changed list sends, and the marked one a commit stores.
QString preview(int clutch, int brake, int throttle) {
    return hexReport(QString::asprintf("020C0F%02X%02X%02X0000", clutch, brake, throttle));
}

QString commit(int clutch, int brake, int throttle) {
    return hexReport(QString::asprintf("020C0F%02X%02X%02XEFEF", clutch, brake, throttle));
}

quint32 kept(int clutch, int brake, int throttle) {
    return Protocol::packSelection(quint8(clutch), quint8(brake), quint8(throttle), true);
}

// Everything the program sent except queries.
QStringList writesHex() {
    QStringList out;
    for (const QByteArray& b : PedalSim::sentReports())
        if (quint8(b[1]) != Protocol::QUERY)
            out << PedalSim::hex(b);
    return out;
}

// While a factory listing fills the lists one by one, each first entry sends the selection.
const QStringList FACTORY_PREVIEWS{preview(0, 0, 0), preview(0, 1, 0), preview(0, 1, 2)};

QComboBox* profileList(QWidget& w, int column) {
    return widget<QComboBox>(w, qPrintable(QStringLiteral("cbPro%1").arg(column)));
}

VexoAxis* curve(QWidget& w, int column) {
    return widget<VexoAxis>(w, qPrintable(QStringLiteral("ctAdc%1").arg(column)));
}

QPushButton* button(QWidget& w, const char* role, int column) {
    return widget<QPushButton>(w, qPrintable(QStringLiteral("pb%1%2").arg(role).arg(column)));
}

QStringList entries(QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

QByteArray pointBytes(const Points& p) {
    return QByteArray(reinterpret_cast<const char*>(p.data()), int(p.size()));
}

// What the device holds in a slot, as comparable text.
QString slotState(int slot) {
    const PedalSim::ProfileSlot p = PedalSim::profile(slot);
    return PedalSim::hex(p.name) + QStringLiteral(" | ") +
           PedalSim::hex(QByteArray(1, char(p.axisId)) + pointBytes(p.points));
}

QStringList deviceState() {
    QStringList out;
    for (int slot = 0; slot < 16; ++slot)
        out << slotState(slot);
    out << QString::number(PedalSim::keptSelection(), 16);
    return out;
}

// A cleared slot: no name, axis id 0, zero points.
QString clearedSlot() {
    return PedalSim::hex(QByteArray(17, '\0')) + QStringLiteral(" | ") +
           PedalSim::hex(QByteArray(6, '\0'));
}

// What the user types into a list's line edit, without confirming it.
void typeName(QComboBox* list, const QString& name) {
    list->setEditText(name);
}

void typeAndEnter(QComboBox* list, const QString& name) {
    typeName(list, name);
    QTest::keyClick(list->lineEdit(), Qt::Key_Return);
}

// Drags control point `point` of a curve widget to pixel row y, as the user would.
void dragPoint(VexoAxis* axis, int point, int y) {
    const QPointF start(5 + 2 * axis->controlPoints[point].x(),
                        200 - 2 * axis->controlPoints[point].y());
    auto deliver = [&](QEvent::Type type, QPointF local, Qt::MouseButton b, Qt::MouseButtons bs) {
        QMouseEvent event(type, local, local, axis->mapToGlobal(local), b, bs, Qt::NoModifier);
        static_cast<QObject*>(axis)->event(&event);
    };
    deliver(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    deliver(QEvent::MouseMove, QPointF(start.x(), y), Qt::NoButton, Qt::LeftButton);
    deliver(QEvent::MouseButtonRelease, QPointF(start.x(), y), Qt::LeftButton, Qt::NoButton);
}

// Runs the export or import button against a chosen file; returns the messages shown.
QStringList runFileButton(QWidget& w, const char* name, const QString& path) {
    FileDialogAnswerer files(path);
    MessageBoxAnswerer answerer;
    widget<QPushButton>(w, name)->click();
    if (files.dialogs != 1 || files.saving != (qstrcmp(name, "pbExport") == 0))
        return {QStringLiteral("unexpected file dialog")};
    return answerer.seen;
}

QByteArray record(int slot, int axisId, const Points& p) {
    return Protocol::makeProfileRecord(quint8(slot), quint8(axisId), pointBytes(p));
}

void writeIni(const QString& path, const QVariantMap& keys) {
    QFile::remove(path);
    QFile empty(path);
    if (!empty.open(QIODevice::WriteOnly)) // a file with no keys still exists
        qFatal("cannot write %s", qPrintable(path));
    empty.close();
    QSettings file(path, QSettings::IniFormat);
    for (auto it = keys.begin(); it != keys.end(); ++it)
        file.setValue(it.key(), it.value());
    file.sync();
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestProfiles : public QObject {
    Q_OBJECT

private slots:
    void init() {
        freshPedalSet();
        QVERIFY(dir.isValid());
    }

    void cleanup() { checkDeviceUse(); }

    void recordLayout() {
        using namespace Protocol;
        // Missing points are zero, extra ones are not stored.
        const QByteArray single = makeProfileRecord(15, 3, QByteArray::fromHex("64"));
        QCOMPARE(single, QByteArray::fromHex("0F036400000000"));
        QVERIFY(isStorableRecord(single));
        const QByteArray race = makeProfileRecord(3, 2, QByteArray::fromHex("0A141E2832FF"));
        QCOMPARE(race, QByteArray::fromHex("03020A141E2832"));
        QCOMPARE(recordPoints(race + '\x07'), QByteArray::fromHex("0A141E2832"));
        QCOMPARE(recordAxisId(QByteArray(1, '\x05')), quint8(0));
        // Slot 16, axis ids 0 and 4 and short records: through an import, below.
    }

    void listingAtConnection() {
        auto w = openWindow();
        // After the version and the pedal mode: the listing, then the deadzones.
        QStringList expected{reportHex("020B0900"), reportHex("020B0C07")};
        for (int slot = 0; slot < 3; ++slot)
            expected << nameQuery(slot) << curveQuery(slot) << FACTORY_PREVIEWS[slot];
        for (int slot = 3; slot < 16; ++slot)
            expected << nameQuery(slot);
        expected << SELECTION_QUERY << DEADZONE_QUERY;
        QCOMPARE(sentHex(), expected);

        for (int column = 0; column < 3; ++column) {
            QCOMPARE(entries(profileList(*w, column)), QStringList{"DEFAULT"});
            QCOMPARE(profileList(*w, column)->currentData().toByteArray(),
                     record(column, column + 1, FACTORY_CURVE));
            QCOMPARE(curve(*w, column)->points(), pointBytes(FACTORY_CURVE));
        }
        // Previews only: the device keeps no choice yet.
        QCOMPARE(PedalSim::keptSelection(), 0u);
    }

    void storedSelection() {
        const Points race{10, 20, 30, 40, 50}, soft{0, 5, 25, 60, 100}, rain{40, 45, 50, 55, 60};
        auto prepare = [&](quint32 selection) {
            PedalSim::reset();
            PedalSim::setProfile(3, "RACE", 2, race);
            PedalSim::setProfile(4, "SOFT", 3, soft);
            PedalSim::setProfile(5, "RAIN", 2, rain);
            PedalSim::setProfile(6, "", 2, race); // an empty name is a free slot
            PedalSim::setSetting(PROFILE_SELECT, selection);
        };

        // A marked selection decides each list's entry and curve.
        prepare(kept(0, 5, 4));
        auto w = openWindow();
        QCOMPARE(writesHex(), (FACTORY_PREVIEWS + QStringList{preview(0, 5, 2), preview(0, 5, 4)}));
        QCOMPARE(entries(profileList(*w, 1)), (QStringList{"DEFAULT", "RACE", "RAIN"}));
        QCOMPARE(entries(profileList(*w, 2)), (QStringList{"DEFAULT", "SOFT"}));
        QCOMPARE(profileList(*w, 1)->currentText(), QStringLiteral("RAIN"));
        QCOMPARE(profileList(*w, 2)->currentText(), QStringLiteral("SOFT"));
        QCOMPARE(curve(*w, 1)->points(), pointBytes(rain));
        QCOMPARE(curve(*w, 2)->points(), pointBytes(soft));

        // Changing an entry redraws that curve and sends the unmarked selection at once.
        PedalSim::clearLog();
        profileList(*w, 1)->setCurrentIndex(1);
        QCOMPARE(sentHex(), QStringList{preview(0, 3, 4)});
        QCOMPARE(curve(*w, 1)->points(), pointBytes(race));
        QCOMPARE(PedalSim::setting(PROFILE_SELECT), 0x00040300u);
        QCOMPARE(PedalSim::keptSelection(), kept(0, 5, 4));

        // Without the mark the device's value is no choice: first entries.
        w.reset();
        prepare(0x00040500);
        w = openWindow();
        QCOMPARE(writesHex(), FACTORY_PREVIEWS);
        QCOMPARE(profileList(*w, 1)->currentText(), QStringLiteral("DEFAULT"));
        QCOMPARE(profileList(*w, 2)->currentText(), QStringLiteral("DEFAULT"));

        // Slots not listed for an axis (another axis's, a free one) fall back to entry 0.
        w.reset();
        prepare(kept(7, 4, 6));
        w = openWindow();
        QCOMPARE(writesHex(), FACTORY_PREVIEWS);
        for (int column = 0; column < 3; ++column)
            QCOMPARE(profileList(*w, column)->currentIndex(), 0);

        // An axis id outside 1..3 ends the listing: later slots are not read and the
        // device's selection (RACE, listed before) is not applied.
        w.reset();
        prepare(kept(0, 3, 2));
        PedalSim::setProfile(4, "ODD", 7, soft);
        w = openWindow();
        const QStringList sent = sentHex();
        const int odd = int(sent.indexOf(curveQuery(4)));
        QVERIFY(odd > 0);
        QCOMPARE(sent.mid(odd), (QStringList{curveQuery(4), DEADZONE_QUERY}));
        QCOMPARE(entries(profileList(*w, 1)), (QStringList{"DEFAULT", "RACE"}));
        QCOMPARE(profileList(*w, 1)->currentText(), QStringLiteral("DEFAULT"));
        QCOMPARE(writesHex(), FACTORY_PREVIEWS);
    }

    void savingANewProfile() {
        auto w = openWindow();
        QComboBox* brake = profileList(*w, 1);
        // A point dragged to an output of 49.5 is stored as 49.
        dragPoint(curve(*w, 1), 2, 101);
        QCOMPARE(curve(*w, 1)->controlPoints[2].y(), 49.5);
        typeName(brake, QStringLiteral("RACE"));

        PedalSim::clearLog();
        MessageBoxAnswerer answerer;
        button(*w, "SavePro", 1)->click();
        QCOMPARE(answerer.seen, QStringList{"Notify|Profile is saved"});

        // Slot 3 is the first free one; the new entry becomes current and is previewed,
        // written (the name report keeps a curve byte of the reply after its terminator),
        // committed, and the lists are read back.
        QStringList expected{nameQuery(0),
                             nameQuery(1),
                             nameQuery(2),
                             nameQuery(3),
                             preview(0, 3, 2),
                             nameQuery(3),
                             curveQuery(3),
                             hexReport("0203035241434500FF"),
                             hexReport("02040302EF1121314353"),
                             SELECTION_QUERY,
                             commit(0, 3, 2)};
        for (int slot = 0; slot < 3; ++slot)
            expected << nameQuery(slot) << curveQuery(slot) << FACTORY_PREVIEWS[slot];
        expected << nameQuery(3) << curveQuery(3);
        for (int slot = 4; slot < 16; ++slot)
            expected << nameQuery(slot);
        expected << SELECTION_QUERY << preview(0, 3, 2);
        QCOMPARE(sentHex(), expected);

        QCOMPARE(PedalSim::profileName(3), QStringLiteral("RACE"));
        QCOMPARE(PedalSim::profile(3).axisId, quint8(2));
        QCOMPARE(PedalSim::profile(3).points, (Points{17, 33, 49, 67, 83}));
        QCOMPARE(PedalSim::keptSelection(), kept(0, 3, 2));
        QCOMPARE(entries(brake), (QStringList{"DEFAULT", "RACE"}));
        QCOMPARE(brake->currentText(), QStringLiteral("RACE"));
    }

    void savingRules() {
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        PedalSim::setProfile(4, "", 3, {1, 2, 3, 4, 5}); // cleared: free
        PedalSim::setSetting(PROFILE_SELECT, kept(0, 3, 2));
        auto w = openWindow();
        QComboBox* brake = profileList(*w, 1);
        QComboBox* throttle = profileList(*w, 2);
        QCOMPARE(brake->currentText(), QStringLiteral("RACE"));
        MessageBoxAnswerer answerer;

        // Same name, same curve: no name or curve report, and the kept choice is the same.
        PedalSim::clearLog();
        button(*w, "SavePro", 1)->click();
        QCOMPARE(writesHex(), FACTORY_PREVIEWS + QStringList{preview(0, 3, 2)});
        // ... but a selection that differs is still committed.
        PedalSim::setSetting(PROFILE_SELECT, kept(0, 1, 2));
        PedalSim::clearLog();
        button(*w, "SavePro", 1)->click();
        QCOMPARE(writesHex(),
                 QStringList{commit(0, 3, 2)} + FACTORY_PREVIEWS + QStringList{preview(0, 3, 2)});

        // An existing name keeps its slot; the column's axis id and the widget's curve
        // are stored.
        curve(*w, 1)->setPoints(QByteArray::fromHex("0000006464"));
        PedalSim::clearLog();
        button(*w, "SavePro", 1)->click();
        QCOMPARE(writesHex().mid(0, 2),
                 (QStringList{hexReport("020303524143450032"), hexReport("02040302EF0000006464")}));
        QCOMPARE(PedalSim::profile(3).points, (Points{0, 0, 0, 100, 100}));

        // Only exactly "DEFAULT" is protected.
        PedalSim::clearLog();
        answerer.seen.clear();
        typeName(throttle, QStringLiteral("DEFAULT"));
        button(*w, "SavePro", 2)->click();
        QCOMPARE(answerer.seen,
                 QStringList{"Notify|Can not save to DEFAULT, please use a different name."});
        QVERIFY(PedalSim::sentReports().empty());

        // The first free slot: 4 has an empty name, then 5 is erased flash.
        typeName(throttle, QStringLiteral("default"));
        button(*w, "SavePro", 2)->click();
        QCOMPARE(PedalSim::profileName(4), QStringLiteral("default"));
        QCOMPARE(PedalSim::profile(4).axisId, quint8(3));
        typeName(throttle, QStringLiteral("DEFAULT "));
        button(*w, "SavePro", 2)->click();
        QCOMPARE(PedalSim::profileName(5), QStringLiteral("DEFAULT "));
        QCOMPARE(entries(throttle), (QStringList{"DEFAULT", "default", "DEFAULT "}));
        QCOMPARE(throttle->currentText(), QStringLiteral("DEFAULT "));
        QCOMPARE(PedalSim::keptSelection(), kept(0, 3, 5));
        QCOMPARE(answerer.seen.count(QStringLiteral("Notify|Profile is saved")), 2);

        // A removal of "DEFAULT " is an ordinary one.
        button(*w, "DelPro", 2)->click();
        QCOMPARE(slotState(5), clearedSlot());
    }

    void fullDevice() {
        for (int slot = 3; slot < 16; ++slot)
            PedalSim::setProfile(slot, QByteArray("P") + QByteArray::number(slot), 3,
                                 {1, 2, 3, 4, 5});
        auto w = openWindow();
        const QStringList before = deviceState();
        MessageBoxAnswerer answerer;

        typeName(profileList(*w, 1), QStringLiteral("NEW"));
        PedalSim::clearLog();
        button(*w, "SavePro", 1)->click();
        QCOMPARE(answerer.seen, QStringList{"Notify|Profile is full"});
        QStringList queries;
        for (int slot = 0; slot < 16; ++slot)
            queries << nameQuery(slot);
        QCOMPARE(sentHex(), queries);
        QCOMPARE(deviceState(), before);
        QCOMPARE(entries(profileList(*w, 1)), QStringList{"DEFAULT"});

        // An existing name needs no free slot.
        answerer.seen.clear();
        typeName(profileList(*w, 2), QStringLiteral("P9"));
        curve(*w, 2)->setPoints(QByteArray::fromHex("0909090909"));
        button(*w, "SavePro", 2)->click();
        QCOMPARE(answerer.seen, QStringList{"Notify|Profile is saved"});
        QCOMPARE(PedalSim::profile(9).points, (Points{9, 9, 9, 9, 9}));
    }

    void profileNames() {
        auto w = openWindow();
        QComboBox* clutch = profileList(*w, 0);
        MessageBoxAnswerer answerer;

        // 16 bytes fill bytes 3..18, the terminator byte 19.
        typeName(clutch, QStringLiteral("ABCDEFGHIJKLMNOP"));
        PedalSim::clearLog();
        button(*w, "SavePro", 0)->click();
        QCOMPARE(
            writesHex().mid(0, 3),
            (QStringList{preview(3, 1, 2), hexReport("0203034142434445464748494A4B4C4D4E4F5000"),
                         hexReport("02040301EF112132435348494A4B4C4D4E4F5000")}));
        QCOMPARE(PedalSim::profileName(3), QStringLiteral("ABCDEFGHIJKLMNOP"));

        // A 17th byte, or a character that would be cut, is refused: nothing is stored.
        const QStringList before = deviceState();
        for (const QString& name : {QStringLiteral("ABCDEFGHIJKLMNOPQ"), QString(9, QChar(0xE9)),
                                    QStringLiteral("ABCDEFGHIJKLMNO") + QChar(0xE9)}) {
            answerer.seen.clear();
            typeName(clutch, name);
            PedalSim::clearLog();
            button(*w, "SavePro", 0)->click();
            QCOMPARE(answerer.seen,
                     QStringList{"Notify|Profile name is too long, please use a shorter name."});
            QVERIFY(PedalSim::sentReports().empty());
        }
        QCOMPARE(deviceState(), before);

        // An empty name would leave a free slot: refused too.
        answerer.seen.clear();
        clutch->lineEdit()->clear();
        button(*w, "SavePro", 0)->click();
        QCOMPARE(answerer.seen, QStringList{"Notify|Please enter a profile name."});
        QCOMPARE(deviceState(), before);

        // Names travel as UTF-8 and come back as typed: eight two-byte letters fit.
        const QString accents = QString(8, QChar(0xE9));
        typeName(clutch, accents);
        button(*w, "SavePro", 0)->click();
        QCOMPARE(PedalSim::profile(4).name.left(17), accents.toUtf8() + QByteArray(1, '\0'));
        QCOMPARE(entries(clutch), (QStringList{"DEFAULT", "ABCDEFGHIJKLMNOP", accents}));
        QCOMPARE(clutch->currentText(), accents);
    }

    void typedEntries() {
        auto w = openWindow();
        widget<QPushButton>(*w, "pbS3")->click();
        QComboBox* brake = profileList(*w, 1);
        const QByteArray shown = QByteArray::fromHex("0102030405");
        curve(*w, 1)->setPoints(shown);

        // Enter adds an entry without a record and makes it current; nothing is sent.
        PedalSim::clearLog();
        typeAndEnter(brake, QStringLiteral("TYPED"));
        QCOMPARE(entries(brake), (QStringList{"DEFAULT", "TYPED"}));
        QCOMPARE(brake->currentIndex(), 1);
        QVERIFY(!brake->currentData().isValid());
        QVERIFY(PedalSim::sentReports().empty());
        QCOMPARE(curve(*w, 1)->points(), shown);

        // Saving it treats the name as new, and the choice committed is its slot.
        MessageBoxAnswerer answerer;
        button(*w, "SavePro", 1)->click();
        QCOMPARE(answerer.seen, QStringList{"Notify|Profile is saved"});
        QCOMPARE(writesHex(), (QStringList{hexReport("020303545950454400"),
                                           hexReport("02040302EF0102030405"), commit(0, 3, 2)} +
                               FACTORY_PREVIEWS + QStringList{preview(0, 3, 2)}));
        QCOMPARE(PedalSim::keptSelection(), kept(0, 3, 2));
        QCOMPARE(entries(brake), (QStringList{"DEFAULT", "TYPED"}));
        QCOMPARE(brake->currentText(), QStringLiteral("TYPED"));

        // Removing a typed entry, or a name only typed in, does nothing.
        answerer.seen.clear();
        for (bool enter : {true, false}) {
            if (enter)
                typeAndEnter(brake, QStringLiteral("GHOST"));
            else
                typeName(brake, QStringLiteral("NOPE"));
            PedalSim::clearLog();
            button(*w, "DelPro", 1)->click();
            QVERIFY(PedalSim::sentReports().empty());
        }
        QCOMPARE(answerer.seen, QStringList());
        QCOMPARE(PedalSim::profileName(3), QStringLiteral("TYPED"));
    }

    void removing() {
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        PedalSim::setSetting(PROFILE_SELECT, kept(0, 3, 2));
        auto w = openWindow();
        MessageBoxAnswerer answerer;

        PedalSim::clearLog();
        typeName(profileList(*w, 1), QStringLiteral("DEFAULT"));
        button(*w, "DelPro", 1)->click();
        QCOMPARE(answerer.seen, QStringList{"Notify|DEFAULT can not be removed."});
        QVERIFY(PedalSim::sentReports().empty());

        // No question asked. The list is read back before the commit, so the choice that
        // falls back to the first entry is the one kept.
        answerer.seen.clear();
        typeName(profileList(*w, 1), QStringLiteral("RACE"));
        PedalSim::clearLog();
        button(*w, "DelPro", 1)->click();
        QCOMPARE(answerer.seen, QStringList());
        QStringList expected{nameQuery(3), curveQuery(3), hexReport("020303000A141E2832"),
                             hexReport("02040300EF")};
        for (int slot = 0; slot < 3; ++slot)
            expected << nameQuery(slot) << curveQuery(slot) << FACTORY_PREVIEWS[slot];
        for (int slot = 3; slot < 16; ++slot)
            expected << nameQuery(slot);
        expected << SELECTION_QUERY << SELECTION_QUERY << commit(0, 1, 2);
        QCOMPARE(sentHex(), expected);
        QCOMPARE(slotState(3), clearedSlot());
        QCOMPARE(entries(profileList(*w, 1)), QStringList{"DEFAULT"});
        QCOMPARE(PedalSim::keptSelection(), kept(0, 1, 2));
    }

    void closingCommitsTheSelection() {
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        auto w = openWindow();
        profileList(*w, 1)->setCurrentIndex(1);
        PedalSim::clearLog();
        QTest::mouseClick(widget<QPushButton>(*w, "pbClose"), Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QCOMPARE(sentHex(), (QStringList{SELECTION_QUERY, commit(0, 3, 2)}));
        QCOMPARE(PedalSim::keptSelection(), kept(0, 3, 2));

        // Closed by the window system: the same; a kept choice is not written again.
        w.reset();
        w = openWindow();
        QCOMPARE(profileList(*w, 1)->currentText(), QStringLiteral("RACE"));
        PedalSim::clearLog();
        QVERIFY(w->close());
        QCOMPARE(sentHex(), QStringList{SELECTION_QUERY});

        // Without a device nothing is sent.
        w.reset();
        PedalSim::unplug();
        w = openWindow();
        PedalSim::clearLog();
        QTest::mouseClick(widget<QPushButton>(*w, "pbClose"), Qt::LeftButton);
        QVERIFY(PedalSim::log().empty());
    }

    void exporting() {
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        PedalSim::setProfile(4, "MY RACE", 3, {0, 25, 50, 75, 100});
        PedalSim::setSetting(PROFILE_SELECT, kept(0, 3, 4));
        auto w = openWindow();
        PedalSim::clearLog();

        // No extension: ".ini" is added. The device is not asked.
        QCOMPARE(runFileButton(*w, "pbExport", dir.filePath("race")), QStringList());
        QVERIFY(PedalSim::sentReports().empty());
        QVERIFY(!QFile::exists(dir.filePath("race")));
        const QString path = dir.filePath("race.ini");
        {
            QSettings file(path, QSettings::IniFormat);
            QCOMPARE(file.allKeys(), (QStringList{"00DEFAULT", "01DEFAULT", "02DEFAULT", "03RACE",
                                                  "04MY RACE", "INDEX"}));
            QCOMPARE(file.value("03RACE").toByteArray(), record(3, 2, {10, 20, 30, 40, 50}));
            QCOMPARE(file.value("04MY RACE").toByteArray(), record(4, 3, {0, 25, 50, 75, 100}));
            QCOMPARE(file.value("00DEFAULT").toByteArray(), record(0, 1, FACTORY_CURVE));
        }
        // Qt's own encoding: escaped keys, byte arrays, the selection in decimal.
        const QString text = readText(path);
        QVERIFY2(text.contains("04MY%20RACE=@ByteArray("), qPrintable(text));
        QVERIFY2(text.contains("\nINDEX=4010017536"), qPrintable(text));

        // An existing file is replaced whole: no older key survives.
        writeIni(dir.filePath("old.ini"), {{"09STALE", record(9, 1, FACTORY_CURVE)}});
        QCOMPARE(runFileButton(*w, "pbExport", dir.filePath("old")), QStringList());
        QSettings old(dir.filePath("old.ini"), QSettings::IniFormat);
        QCOMPARE(old.allKeys().size(), 6);
        QVERIFY(!old.contains("09STALE"));

        // ".INI" is not ".ini".
        QCOMPARE(runFileButton(*w, "pbExport", dir.filePath("upper.INI")), QStringList());
        QVERIFY(QFile::exists(dir.filePath("upper.INI.ini")));

        // Cancelled: nothing.
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        QCOMPARE(runFileButton(*w, "pbExport", QString()), QStringList());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);

        // A file that cannot be written is reported, not passed over.
        QVERIFY(QDir(dir.path()).mkdir("taken.ini"));
        QCOMPARE(runFileButton(*w, "pbExport", dir.filePath("taken")),
                 QStringList{"Notify|INI file can not be written."});
        writeIni(dir.filePath("plain"), {{"A", 1}});
        QCOMPARE(runFileButton(*w, "pbExport", dir.filePath("plain/inside")),
                 QStringList{"Notify|INI file can not be written."});
        QVERIFY(PedalSim::sentReports().empty());
    }

    void roundTrip() {
        // Every slot taken, names with spaces, accents and 16 bytes.
        const char* names[] = {"RACE",    "MY RACE", "Grüße", "ABCDEFGHIJKLMNOP",
                               "  two  ", "wet",     "dry",   "DEFAULT",
                               "a=b;c",   "x",       "[sec]", "%20",
                               "last one"};
        for (int slot = 3; slot < 16; ++slot) {
            const quint8 p = quint8(slot * 6);
            PedalSim::setProfile(slot, names[slot - 3], quint8(slot % 3 + 1),
                                 {p, quint8(p + 1), 0, 100, quint8(99 - p)});
        }
        PedalSim::setSetting(PROFILE_SELECT, kept(6, 13, 11));
        auto w = openWindow();
        QCOMPARE(profileList(*w, 0)->currentText(), QStringLiteral("ABCDEFGHIJKLMNOP"));
        QCOMPARE(profileList(*w, 1)->currentText(), QStringLiteral("[sec]"));
        QCOMPARE(profileList(*w, 2)->currentText(), QStringLiteral("a=b;c"));
        const QStringList before = deviceState();

        QCOMPARE(runFileButton(*w, "pbExport", dir.filePath("all.ini")), QStringList());
        PedalSim::factoryReset();
        QVERIFY(deviceState() != before);
        QCOMPARE(runFileButton(*w, "pbImport", dir.filePath("all.ini")), QStringList());
        QCOMPARE(deviceState(), before);
        QCOMPARE(profileList(*w, 1)->currentText(), QStringLiteral("[sec]"));
        QCOMPARE(curve(*w, 1)->points(), QByteArray::fromHex("4E4F006415"));
    }

    void importingINDEXOnly() {
        // A device with nothing listed exports "INDEX" alone...
        for (int slot = 0; slot < 16; ++slot)
            PedalSim::eraseProfile(slot);
        auto w = openWindow();
        QCOMPARE(runFileButton(*w, "pbExport", dir.filePath("empty.ini")), QStringList());
        {
            QSettings file(dir.filePath("empty.ini"), QSettings::IniFormat);
            QCOMPARE(file.allKeys(), QStringList{"INDEX"});
            QCOMPARE(file.value("INDEX").toUInt(), 0xEF000000u);
        }

        // ... and importing it erases all 16 slots, the factory curves too.
        w.reset();
        PedalSim::reset();
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        w = openWindow();
        PedalSim::clearLog();
        QCOMPARE(runFileButton(*w, "pbImport", dir.filePath("empty.ini")), QStringList());
        QStringList expected;
        for (int slot = 0; slot < 16; ++slot) {
            // The name report keeps the curve reply's points after its terminator.
            const QString left = slot < 3    ? QStringLiteral("1121324353")
                                 : slot == 3 ? QStringLiteral("0A141E2832")
                                             : QStringLiteral("FFFFFFFFFF");
            expected << hexReport(QString::asprintf("0203%02X00", slot) + left)
                     << hexReport(QString::asprintf("0204%02X00EF", slot));
        }
        expected << commit(0, 0, 0);
        QCOMPARE(writesHex(), expected);
        for (int slot = 0; slot < 16; ++slot)
            QCOMPARE(slotState(slot), clearedSlot());
        for (int column = 0; column < 3; ++column)
            QCOMPARE(profileList(*w, column)->count(), 0);
        QCOMPARE(PedalSim::keptSelection(), kept(0, 0, 0));
    }

    void importingEdgeCases() {
        auto w = openWindow();
        const Points p{5, 10, 15, 20, 25};

        // 0xEF000000 is valid: slot 0 where listed, else the first entry. A key of two
        // digits alone writes an empty name (a free slot, not listed); the record's slot
        // counts, not the key's digits.
        writeIni(dir.filePath("edge.ini"), {{"00CL", record(0, 1, p)},
                                            {"03WET", record(3, 2, p)},
                                            {"07RACE", record(9, 2, {1, 2, 3, 4, 5})},
                                            {"05", record(5, 2, p)},
                                            {"06SOFT", record(6, 3, p)},
                                            {"INDEX", 0xEF000000u}});
        QCOMPARE(runFileButton(*w, "pbImport", dir.filePath("edge.ini")), QStringList());
        QCOMPARE(entries(profileList(*w, 0)), QStringList{"CL"});
        QCOMPARE(entries(profileList(*w, 1)), (QStringList{"WET", "RACE"}));
        QCOMPARE(entries(profileList(*w, 2)), QStringList{"SOFT"});
        QCOMPARE(PedalSim::profileName(9), QStringLiteral("RACE"));
        QCOMPARE(PedalSim::profile(9).points, (Points{1, 2, 3, 4, 5}));
        QCOMPARE(slotState(7), clearedSlot());
        QCOMPARE(PedalSim::profileName(5), QString());
        QCOMPARE(PedalSim::profile(5).axisId, quint8(2));
        QCOMPARE(profileList(*w, 1)->currentText(), QStringLiteral("WET"));
        QCOMPARE(PedalSim::keptSelection(), kept(0, 3, 6));

        // Two keys of one slot: the later key wins.
        writeIni(dir.filePath("twice.ini"),
                 {{"01A", record(4, 2, p)}, {"02B", record(4, 3, p)}, {"INDEX", kept(0, 0, 4)}});
        QCOMPARE(runFileButton(*w, "pbImport", dir.filePath("twice.ini")), QStringList());
        QCOMPARE(PedalSim::profileName(4), QStringLiteral("B"));
        QCOMPARE(profileList(*w, 2)->currentText(), QStringLiteral("B"));
        QCOMPARE(profileList(*w, 1)->count(), 0);
    }

    void refusedFiles() {
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        auto w = openWindow();
        const QStringList before = deviceState();
        const QByteArray good = record(4, 2, FACTORY_CURVE);

        // The file name must end in ".ini", exactly.
        for (const char* name : {"profiles.txt", "profiles.INI", "profiles"}) {
            writeIni(dir.filePath(name), {{"INDEX", 0xEF000000u}});
            PedalSim::clearLog();
            QCOMPARE(runFileButton(*w, "pbImport", dir.filePath(name)),
                     QStringList{"Notify|Please choose INI file"});
            QVERIFY(PedalSim::sentReports().empty());
        }

        const QList<QVariantMap> invalid{
            {},                                                    // no keys at all
            {{"04RAIN", good}},                                    // no INDEX
            {{"04RAIN", good}, {"INDEX", 0x00000400u}},            // INDEX without its mark
            {{"04RAIN", good}, {"INDEX", QStringLiteral("many")}}, // not a number
            {{"4RAIN", good}, {"INDEX", 0xEF000000u}},             // one digit and a letter
            {{"RAIN", good}, {"INDEX", 0xEF000000u}},              // a letter
            {{"index", good}, {"INDEX", 0xEF000000u}},             // INDEX in other case
            {{"04RAIN", good.left(6)}, {"INDEX", 0xEF000000u}},    // a short record
            {{"04RAIN", record(16, 2, FACTORY_CURVE)}, {"INDEX", 0xEF000000u}}, // no slot 16
            {{"04RAIN", record(4, 0, FACTORY_CURVE)}, {"INDEX", 0xEF000000u}},  // axis id 0
            {{"04RAIN", record(4, 4, FACTORY_CURVE)}, {"INDEX", 0xEF000000u}},  // axis id 4
            {{"04ABCDEFGHIJKLMNOPQ", good}, {"INDEX", 0xEF000000u}},            // 17 bytes
            {{"04" + QString(9, QChar(0xE9)), good}, {"INDEX", 0xEF000000u}},   // 18 bytes
            // A good profile before a bad one: nothing of the file is written.
            {{"00GOOD", record(0, 1, FACTORY_CURVE)},
             {"01BAD", record(1, 9, FACTORY_CURVE)},
             {"INDEX", 0xEF000000u}},
        };
        for (int i = 0; i < invalid.size(); ++i) {
            const QString path = dir.filePath(QStringLiteral("bad%1.ini").arg(i));
            writeIni(path, invalid[i]);
            PedalSim::clearLog();
            QCOMPARE(runFileButton(*w, "pbImport", path),
                     QStringList{"Notify|INI file is not valid."});
            QVERIFY2(PedalSim::sentReports().empty(), qPrintable(QString::number(i)));
        }
        QCOMPARE(deviceState(), before);
        QCOMPARE(entries(profileList(*w, 1)), (QStringList{"DEFAULT", "RACE"}));

        // Cancelled: nothing.
        PedalSim::clearLog();
        QCOMPARE(runFileButton(*w, "pbImport", QString()), QStringList());
        QVERIFY(PedalSim::log().empty());
    }

private:
    QTemporaryDir dir;
};

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
