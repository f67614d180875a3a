// The profile store's rules on the virtual pedal set, without the window.
#include "device/devicehandle.h"
#include "profiles/profilestore.h"
#include "sim/pedalsim.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using Save = ProfileStore::SaveResult;

namespace {
const QByteArray POINTS = QByteArray::fromHex("0A141E2832");

// Name and curve writes the store sent, leaving out queries and selections.
int profileWrites() {
    int writes = 0;
    for (const QByteArray& report : PedalSim::sentReports())
        writes += report[1] == 0x03 || report[1] == 0x04;
    return writes;
}
} // namespace

class TestProfileStore : public QObject {
    Q_OBJECT

private slots:
    void init() {
        DeviceHandle::close();
        PedalSim::reset();
        PedalSim::setProfile(3, "RACE", 2, {11, 21, 31, 41, 51});
        QVERIFY(DeviceHandle::open());
    }
    void cleanup() {
        DeviceHandle::close();
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
    }

    void saveOutcomes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("full");
        QTest::addColumn<Save>("result");
        QTest::addColumn<int>("writes");
        QTest::newRow("protected") << "DEFAULT" << false << Save::Protected << 0;
        QTest::newRow("empty") << "" << false << Save::EmptyName << 0;
        QTest::newRow("17 bytes") << "ABCDEFGHIJKLMNOPQ" << false << Save::NameTooLong << 0;
        QTest::newRow("16 bytes") << "ABCDEFGHIJKLMNOP" << false << Save::Saved << 2;
        QTest::newRow("case differs") << "Default" << false << Save::Saved << 2;
        QTest::newRow("new name, device full") << "NEW" << true << Save::Full << 0;
        QTest::newRow("stored name, device full") << "RACE" << true << Save::Saved << 2;
    }
    void saveOutcomes() {
        QFETCH(QString, name);
        QFETCH(bool, full);
        QFETCH(Save, result);
        QFETCH(int, writes);
        if (full)
            for (int slot = 4; slot < 16; ++slot)
                PedalSim::setProfile(slot, "X" + QByteArray::number(slot), 1, {1, 2, 3, 4, 5});
        ProfileStore store;
        QVERIFY(store.load());
        PedalSim::clearLog();
        QCOMPARE(store.save(1, name, POINTS), result);
        QCOMPARE(profileWrites(), writes);
    }

    // A slot is written only from replies that arrived: zeros from a missing one look like
    // a cleared slot, and a removal or an import would be taken for done.
    void noWriteFromMissingReplies_data() {
        QTest::addColumn<bool>("importing");
        QTest::addColumn<int>("failingGet");
        QTest::newRow("remove, name reply lost") << false << 1;
        QTest::newRow("remove, curve reply lost") << false << 2;
        QTest::newRow("import, name reply lost") << true << 1;
        QTest::newRow("import, curve reply lost") << true << 2;
    }
    void noWriteFromMissingReplies() {
        QFETCH(bool, importing);
        QFETCH(int, failingGet);
        QTemporaryDir dir;
        const QString path = dir.filePath("p.ini");
        {
            QSettings file(path, QSettings::IniFormat);
            file.setValue("05MINE", QByteArray::fromHex("05020A141E2832"));
            file.setValue("INDEX", uint(Protocol::packSelection(0, 5, 0, true)));
        }
        ProfileStore store;
        QVERIFY(store.load());
        PedalSim::clearLog();
        // Slot 3 (RACE) is the one the removal clears; slot 0 the import's first.
        PedalSim::failGet(failingGet);
        if (importing)
            QCOMPARE(store.importFile(path), ProfileStore::ImportResult::LinkFailed);
        else
            QCOMPARE(store.remove(1, "RACE"), ProfileStore::RemoveResult::LinkFailed);
        QCOMPARE(profileWrites(), 0);
        QCOMPARE(PedalSim::profileName(importing ? 0 : 3),
                 importing ? QStringLiteral("DEFAULT") : QStringLiteral("RACE"));
    }
};

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profilestore.moc"
