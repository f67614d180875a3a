// The profile store's rules on the virtual pedal set, asserting the exact reports.
#include "device/devicehandle.h"
#include "profiles/profilebackups.h"
#include "profiles/profilestore.h"
#include "sim/pedalsim.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using Save = ProfileStore::SaveResult;
using Remove = ProfileStore::RemoveResult;
using Import = ProfileStore::ImportResult;

namespace {
const QByteArray CURVE = QByteArray::fromHex("0000006464");
const QString FACTORY = "020C0F 020C0F0001 020C0F000102"; // previews as the lists fill

template <typename... T> void row(const char* tag, const T&... values) {
    (QTest::newRow(tag) << ... << values);
}

// Reports sent but queries, in hex without trailing zeros; or only names, curves, commits.
QString writes(bool storesOnly) {
    QStringList out;
    for (const QByteArray& b : PedalSim::sentReports())
        if (storesOnly ? b[1] == 0x03 || b[1] == 0x04 || quint8(b[7]) == 0xEF : b[1] != 0x0B)
            out << QString(b.toHex().toUpper()).remove(QRegularExpression("(00)+$"));
    return out.join(' ');
}

// The lists as "A,B|C|D", the current entries starred.
QString shown(const ProfileStore& store) {
    QStringList lists;
    for (int axis = 0; axis < 3; ++axis) {
        QStringList names;
        for (const ProfileStore::Entry& entry : store.entries(axis))
            names << entry.name + (names.size() == store.current(axis) ? "*" : "");
        lists << names.join(',');
    }
    return lists.join('|');
}

// Every byte of the device's profiles, and its kept selection.
QByteArray device() {
    QByteArray all = QByteArray::number(PedalSim::keptSelection());
    for (int slot = 0; slot < 16; ++slot)
        all += PedalSim::profile(slot).name + char(PedalSim::profile(slot).axisId) +
               QByteArray(reinterpret_cast<const char*>(PedalSim::profile(slot).points.data()), 5);
    return all.toHex(' ');
}

// "KEY=hex ..." as an INI file of records and INDEX; a file without keys still exists.
void writeIni(const QString& path, const QString& text) {
    QFile(path).open(QIODevice::WriteOnly);
    QSettings file(path, QSettings::IniFormat);
    for (const QString& pair : text.split(' ', Qt::SkipEmptyParts)) {
        const QString key = pair.section('=', 0, 0), hex = pair.section('=', 1);
        file.setValue(key, key == "INDEX" ? QVariant(hex.toULongLong(nullptr, 16))
                                          : QVariant(QByteArray::fromHex(hex.toLatin1())));
    }
}
} // namespace

class TestProfileStore : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    ProfileStore store;

    // Profiles as "slot:axis id:name,..." with CURVE, and the kept selection; then the listing.
    bool load(const QString& profiles, quint32 kept) {
        for (const QString& p : profiles.split(',', Qt::SkipEmptyParts))
            PedalSim::setProfile(p.section(':', 0, 0).toInt(), p.section(':', 2).toUtf8(),
                                 quint8(p.section(':', 1, 1).toInt()), {0, 0, 0, 100, 100});
        PedalSim::setSetting(0x0F, kept);
        PedalSim::clearLog();
        return store.load();
    }

private slots:
    void init() {
        PedalSim::reset();
        PedalSim::setProfile(3, "RACE", 2, {11, 21, 31, 41, 51});
        QVERIFY(DeviceHandle::open());
    }
    void cleanup() {
        DeviceHandle::close();
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
    }

    // Free slots and unwritten curves are skipped; an unknown axis id ends the listing.
    void listing_data() {
        QTest::addColumn<QString>("profiles");
        QTest::addColumn<uint>("kept");
        QTest::addColumn<QString>("lists");
        QTest::addColumn<QString>("previews");
        const QString more = "4:3:T,5:2:B1,6:2:,7:1:,8:255:H,9:2:B2";
        row("marked", more, 0xEF040900u, "DEFAULT*|DEFAULT,RACE,B1,B2*|DEFAULT,T*",
            FACTORY + " 020C0F000902 020C0F000904");
        row("unmarked", more, 0xEE040900u, "DEFAULT*|DEFAULT*,RACE,B1,B2|DEFAULT*,T", FACTORY);
        row("odd axis", "4:7:X,5:2:Y", 0xEF020300u, "DEFAULT*|DEFAULT*,RACE|DEFAULT*", FACTORY);
    }
    void listing() {
        QFETCH(QString, profiles);
        QFETCH(uint, kept);
        QVERIFY(load(profiles, kept));
        QTEST(shown(store), "lists");
        QTEST(writes(false), "previews");
    }

    // Into the brake's list, RACE kept, a typed name current; reports keep the reply's bytes.
    void save_data() {
        QTest::addColumn<QString>("profiles");
        QTest::addColumn<QString>("name");
        QTest::addColumn<Save>("result");
        QTest::addColumn<QString>("stores");
        const QString accents(8, QChar(0xE9)), full = "4:3:P,5:3:P,6:3:P,7:3:P,8:3:P,9:3:P,10:3:P,"
                                                      "11:3:P,12:3:P,13:3:P,14:3:P,15:3:P";
        row("first free slot", "", "NEW", Save::Saved,
            "0203044E455700FFFF 02040402EF0000006464 020C0F000402EFEF");
        row("empty name is free, Default", "4:3:,5:3:X", "Default", Save::Saved,
            "02030444656661756C74 02040402EF0000006464 020C0F000402EFEF");
        row("16 bytes of UTF-8", "", accents, Save::Saved,
            "020304C3A9C3A9C3A9C3A9C3A9C3A9C3A9C3A9 02040402EF0000006464A9C3A9C3A9C3A9C3A9 "
            "020C0F000402EFEF");
        row("17 bytes", "", "ABCDEFGHIJKLMNO" + accents.left(1), Save::NameTooLong, "");
        row("DEFAULT", "", "DEFAULT", Save::Protected, "");
        row("empty", "", "", Save::EmptyName, "");
        row("full", full, "NEW", Save::Full, "");
        row("full, same name, new curve", full, "RACE", Save::Saved,
            "020303524143450033 02040302EF0000006464");
        row("unchanged", "3:2:RACE", "RACE", Save::Saved, "");
        row("typed name", "", "TYPED", Save::Saved,
            "0203045459504544 02040402EF0000006464 020C0F000402EFEF");
    }
    void save() {
        QFETCH(QString, profiles);
        QFETCH(QString, name);
        QVERIFY(load(profiles, 0xEF020300));
        store.choose(1, 2, "TYPED");
        QTEST(store.save(1, name, CURVE), "result");
        QTEST(writes(true), "stores");
    }

    // Read back before the commit, the list's fallback is kept; a lost reply writes nothing.
    void remove_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("failingGet");
        QTest::addColumn<Remove>("result");
        QTest::addColumn<QString>("sent");
        row("stored", "RACE", 0, Remove::Removed,
            "020303000B151F2933 02040300EF " + FACTORY + " 020C0F000102EFEF");
        row("DEFAULT", "DEFAULT", 0, Remove::Protected, "");
        row("typed name", "TYPED", 0, Remove::NotStored, "");
        row("name reply lost", "RACE", 1, Remove::LinkFailed, "");
        row("curve reply lost", "RACE", 2, Remove::LinkFailed, "");
    }
    void remove() {
        QFETCH(QString, name);
        QFETCH(int, failingGet);
        QVERIFY(load("", 0xEF020300));
        PedalSim::clearLog();
        store.choose(1, 2, "TYPED");
        PedalSim::failGet(failingGet);
        QTEST(store.remove(1, name), "result");
        QTEST(writes(false), "sent");
    }

    // Keys are the slot in two digits and the name, INDEX the marked choice in decimal.
    // Imported after clear flash, the file restores the device byte for byte.
    void exportFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("written");
        row(".INI", "race.INI", "race.INI.ini");
        row("older file replaced", "old", "old.ini");
        row("a directory", "taken", "");
    }
    void exportFile() {
        QFETCH(QString, path);
        QFETCH(QString, written);
        QVERIFY(load("4:3:MY RACE,5:1:Grüße,6:2:a=b;c,7:3:[sec],8:1:%20,9:2:  two  ,10:3:x,"
                     "11:1:DEFAULT,12:2:#1,13:3:wet,14:2:last one,15:1:ABCDEFGHIJKLMNOP",
                     0xEF040305));
        writeIni(dir.filePath("old.ini"), "09STALE=01");
        QVERIFY(QDir(dir.path()).mkpath("taken.ini"));
        const QByteArray before = device();
        QCOMPARE(store.exportFile(dir.filePath(path)), !written.isEmpty());
        if (written.isEmpty())
            return;
        const QSettings file(dir.filePath(written), QSettings::IniFormat);
        QCOMPARE(file.allKeys().size(), 17);
        QCOMPARE(file.value("04MY RACE").toByteArray().toHex(), "04030000006464");
        QCOMPARE(file.value("INDEX").toString(), "4010017541");
        PedalSim::factoryReset();
        QCOMPARE(store.importFile(dir.filePath(written)), Import::Imported);
        QCOMPARE(device(), before);
    }

    // A backup is an export named by its time; importing it restores the device. The newest
    // 20 stay; a store not read whole, or a folder that cannot be made, gives none.
    void backups() {
        QVERIFY(load("4:3:MY RACE,5:1:Grüße", 0xEF040305));
        const QString folder = dir.filePath("backups");
        QVERIFY(QDir().mkpath(folder));
        for (int day = 1; day <= 25; ++day)
            writeIni(QStringLiteral("%1/profiles-202001%2-120000-000.ini")
                         .arg(folder)
                         .arg(day, 2, 10, QChar('0')),
                     "");
        writeIni(folder + "/notes.ini", "");
        const QDateTime now(QDate(2026, 12, 7), QTime(10, 15, 0, 5));
        const ProfileBackups backups(folder);
        QCOMPARE(backups.write(store, {}, now), folder + "/profiles-20261207-101500-005.ini");
        QCOMPARE(backups.write(store, {}, now), folder + "/profiles-20261207-101500-006.ini");
        QStringList kept = QDir(folder).entryList(QDir::Files, QDir::Name);
        QCOMPARE(kept.size(), 21);
        QCOMPARE(kept.first(), "notes.ini");
        QCOMPARE(kept[1], "profiles-20200108-120000-000.ini");
        // The oldest but one, about to be restored, outlives the backup taken before it is
        // imported; the oldest does not.
        const QString older = folder + "/profiles-20190101-120000-000.ini";
        writeIni(older, "");
        const QString restored = folder + "/../backups/" + kept[1];
        QVERIFY(!backups.write(store, restored, now).isEmpty());
        QVERIFY(QFile::exists(restored) && !QFile::exists(older));
        QVERIFY(QFile::remove(restored));
        // Every profile and the selection come back byte for byte; free slots come back
        // cleared rather than erased, as after any import.
        const auto stored = [] {
            QStringList out{QString::number(PedalSim::keptSelection(), 16)};
            for (int slot = 0; slot < 16; ++slot) {
                const PedalSim::ProfileSlot p = PedalSim::profile(slot);
                if (p.axisId - 1u < 3u)
                    out << (p.name + char(p.axisId) +
                            QByteArray(reinterpret_cast<const char*>(p.points.data()), 5))
                               .toHex();
            }
            return out;
        };
        const QStringList before = stored();
        QCOMPARE(before.size(), 7);
        PedalSim::factoryReset();
        QCOMPARE(store.importFile(kept.last().prepend(folder + '/')), Import::Imported);
        QCOMPARE(stored(), before);

        QCOMPARE(ProfileBackups(folder + "/notes.ini").write(store), QString());
        store.markIncomplete();
        QCOMPARE(backups.write(store), QString());
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 21);
    }

    // The file is checked whole before anything is erased; writing stops at a lost reply.
    void importWritesNothing_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<Import>("result");
        QTest::addColumn<int>("failingGet");
        const Import invalid = Import::Invalid;
        row("no INDEX", "04R=04021121324353", invalid, 0);
        row("unmarked INDEX", "04R=04021121324353 INDEX=00000400", invalid, 0);
        row("INDEX over 32 bits", "04R=04021121324353 INDEX=1EF000000", invalid, 0);
        row("one digit", "4R=04021121324353 INDEX=EF000000", invalid, 0);
        row("short record", "04R=040211213243 INDEX=EF000000", invalid, 0);
        row("slot 16", "04R=10021121324353 INDEX=EF000000", invalid, 0);
        row("axis id 0", "04R=04001121324353 INDEX=EF000000", invalid, 0);
        row("axis id 4", "04R=04041121324353 INDEX=EF000000", invalid, 0);
        row("18 bytes", "04ééééééééé=04021121324353 INDEX=EF000000", invalid, 0);
        row("good, then bad", "00A=00011121324353 01B=01091121324353 INDEX=EF000000", invalid, 0);
        row("name reply lost", "04R=04021121324353 INDEX=EF000000", Import::LinkFailed, 1);
        row("curve reply lost", "04R=04021121324353 INDEX=EF000000", Import::LinkFailed, 2);
    }
    void importWritesNothing() {
        QFETCH(QString, keys);
        QFETCH(int, failingGet);
        QVERIFY(load("", 0));
        writeIni(dir.filePath("p.ini"), keys);
        PedalSim::failGet(failingGet);
        QTEST(store.importFile(dir.filePath("p.ini")), "result");
        QCOMPARE(writes(true), QString());
        // A valid file reaches the moment before erasing, which may call the import off.
        PedalSim::failGet(0);
        bool asked = false;
        QCOMPARE(store.importFile(dir.filePath("p.ini"), [&] { return !(asked = true); }),
                 failingGet ? Import::Cancelled : Import::Invalid);
        QCOMPARE(asked, failingGet != 0);
        QCOMPARE(writes(true), QString());
    }

    // Every slot is cleared and the file's choice kept. A record counts by its own slot, cut
    // to 7 bytes; a later key of a slot wins; two digits alone are an empty name.
    void import_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("lists");
        QTest::addColumn<uint>("kept");
        row("record's slot, later key",
            "00CL=0001050A0F1419 03WET=03020A141E2832 05=05020A141E2832 06SOFT=0603050A0F1419FF "
            "07RACE=09020102030405 08A=0A030A141E2832 09B=0A030A141E2832 INDEX=EF000900",
            "CL*|WET,RACE*|SOFT*,B", 0xEF060900u);
        row("INDEX only", "INDEX=EF000000", "||", 0xEF000000u);
        row("file's choice", "03WET=03020A141E2832 05RAIN=05020A141E2832 INDEX=EF000300",
            "|WET*,RAIN|", 0xEF000300u);
        row("unlisted slot", "03WET=03020A141E2832 05RAIN=05020A141E2832 INDEX=EF000700",
            "|WET*,RAIN|", 0xEF000300u);
    }
    void import() {
        QFETCH(QString, keys);
        QVERIFY(load("15:1:LAST", 0xEF000500));
        writeIni(dir.filePath("p.ini"), keys);
        QCOMPARE(store.importFile(dir.filePath("p.ini")), Import::Imported);
        QTEST(shown(store), "lists");
        QTEST(uint(PedalSim::keptSelection()), "kept");
    }
};

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profilestore.moc"
