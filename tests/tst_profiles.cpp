// The PROFILES page's wiring on the virtual pedal set; the rules are in tst_profilestore.
#include "tests/windowfixture.h"

#include "app/commandline.h"
#include "app/singleinstance.h"
#include "profiles/vexoaxis.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

namespace {
const QByteArray FACTORY = QByteArray::fromHex("1121324353");
const QByteArray RACE = QByteArray::fromHex("0A141E2832");

// The lists as "A,B|C|D", the current entries starred.
QString shown(QWidget& w) {
    QStringList lists;
    for (const char* name : {"cbPro0", "cbPro1", "cbPro2"}) {
        QComboBox* list = widget<QComboBox>(w, name);
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->itemText(i) + (i == list->currentIndex() ? "*" : "");
        lists << names.join(',');
    }
    return lists.join('|');
}

// Clicks with text typed into the brake's list and given to file dialogs; the messages.
QStringList click(QWidget& w, const char* button, const QString& text) {
    FileDialogAnswerer files(text);
    MessageBoxAnswerer answerer;
    widget<QComboBox>(w, "cbPro1")->setEditText(text);
    widget<QPushButton>(w, button)->click();
    return answerer.seen;
}
// A command line run as a second program would run it, on another thread: this one serves
// the window. Its output follows its exit code.
QString command(const QString& server, const QString& line) {
    std::atomic<bool> done{false};
    QString out, err;
    int code = -1;
    std::thread client([&] {
        QTextStream outStream(&out), errStream(&err);
        code = CommandLine::run(("vexo-setting " + line).split(' '), server, outStream, errStream);
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done.load(); }, 60000))
        qWarning("the command did not end within a minute");
    client.join();
    return QString::number(code) + ' ' + out + err;
}
} // namespace

class TestProfiles : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void init() {
        freshPedalSet();
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        PedalSim::setSetting(0x0F, 0xEF020300);
    }
    void cleanup() { checkDeviceUse(); }

    // Enter adds a name without a record, which sends and draws nothing; choosing an entry
    // redraws its curve and previews it, and the close button commits the choice.
    void choosing() {
        auto w = openWindow();
        QComboBox* list = widget<QComboBox>(*w, "cbPro1");
        VexoAxis* curve = widget<VexoAxis>(*w, "ctAdc1");
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE*|DEFAULT*"));
        QCOMPARE(curve->points() + widget<VexoAxis>(*w, "ctAdc2")->points(), RACE + FACTORY);
        PedalSim::clearLog();
        list->setEditText("TYPED");
        QTest::keyClick(list->lineEdit(), Qt::Key_Return);
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE,TYPED*|DEFAULT*"));
        QCOMPARE(curve->points(), RACE);
        list->setCurrentIndex(0);
        QCOMPARE(curve->points(), FACTORY);
        QTest::mouseClick(widget<QPushButton>(*w, "pbClose"), Qt::LeftButton);
        QCOMPARE(sentHex(), (QStringList{reportHex("020C0F000102"), reportHex("020B0C0F"),
                                         reportHex("020C0F000102EFEF")}));
    }

    // The typed name and the curve as drawn: a point dragged to 29.5 is stored as 29.
    // Removing needs no answer; the list falls back to its first entry.
    void savingAndRemoving() {
        auto w = openWindow();
        VexoAxis* curve = widget<VexoAxis>(*w, "ctAdc1");
        QTest::mousePress(curve, Qt::LeftButton, {}, QPoint(105, 140));
        QTest::mouseMove(curve, QPoint(105, 141));
        QTest::mouseRelease(curve, Qt::LeftButton, {}, QPoint(105, 141));
        QCOMPARE(click(*w, "pbSavePro1", "NEW"), QStringList{"Notify|Profile is saved"});
        QCOMPARE(PedalSim::profile(4).points, (std::array<quint8, 5>{10, 20, 29, 40, 50}));
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE,NEW*|DEFAULT*"));
        QCOMPARE(click(*w, "pbSavePro1", "DEFAULT"),
                 QStringList{"Notify|Can not save to DEFAULT, please use a different name."});
        QCOMPARE(click(*w, "pbSavePro1", ""), QStringList{"Notify|Please enter a profile name."});
        QCOMPARE(click(*w, "pbSavePro1", "ABCDEFGHIJKLMNOPQ"),
                 QStringList{"Notify|Profile name is too long, please use a shorter name."});
        for (int slot = 5; slot < 16; ++slot)
            PedalSim::setProfile(slot, "P", 1, {1, 2, 3, 4, 5});
        QCOMPARE(click(*w, "pbSavePro1", "FULL"), QStringList{"Notify|Profile is full"});
        QCOMPARE(click(*w, "pbDelPro1", "DEFAULT"),
                 QStringList{"Notify|DEFAULT can not be removed."});
        QCOMPARE(click(*w, "pbDelPro1", "NEW"), QStringList());
        QCOMPARE(shown(*w).section('|', 1, 1), QStringLiteral("DEFAULT*,RACE"));
        QCOMPARE(curve->points(), FACTORY);
    }

    // Closed by the window system: a kept choice is not written again; without a device,
    // nothing is sent.
    void closingUnchanged() {
        auto w = openWindow();
        PedalSim::clearLog();
        QVERIFY(w->close());
        QCOMPARE(sentHex(), QStringList{reportHex("020B0C0F")});
        w.reset();
        PedalSim::unplug();
        w = openWindow();
        PedalSim::clearLog();
        QVERIFY(w->close());
        QVERIFY(PedalSim::log().empty());
    }

    // A second start finds the window: a command is carried out by it, shown and kept at
    // close; a second window brings the first to the front.
    void commandsToTheRunningWindow() {
        const QString server =
            QStringLiteral("vexo-test-%1").arg(QCoreApplication::applicationPid());
        PedalSim::setSetting(0x0F, 0xEF020100);
        auto w = openWindow();
        SingleInstance instance(server);
        QCOMPARE(instance.listen(), SingleInstance::Listen::Listening);
        QCOMPARE(SingleInstance(server).listen(), SingleInstance::Listen::OtherInstance);
        QCOMPARE(command(server, "--list"), "3 No pedal set found.\n"); // no handler yet
        instance.setHandler([&](const ProfileCommand& c) { return w->runCommand(c); });
        PedalSim::clearLog();
        QCOMPARE(command(server, "--select brake=RACE"), "0 brake: RACE\n");
        QCOMPARE(sentHex(), (QStringList{reportHex("020B0C0F"), reportHex("020C0F000302EFEF")}));
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE*|DEFAULT*"));
        QCOMPARE(widget<VexoAxis>(*w, "ctAdc1")->points(), RACE);
        QCOMPARE(command(server, "--select brake=NONE"),
                 "5 The pedal set has no brake profile named \"NONE\".\n");

        w->showMinimized();
        CommandResult raised;
        std::thread second([&] { SingleInstance::send(server, ProfileCommand(), &raised); });
        QTRY_VERIFY(!w->isMinimized());
        second.join();
        PedalSim::clearLog();
        QVERIFY(w->close());
        QCOMPARE(sentHex(), QStringList{reportHex("020B0C0F")}); // the choice stands
        w = openWindow();
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QCOMPARE(command(server, "--select brake=DEFAULT"), "3 No pedal set found.\n");
    }

    // Through their dialogs; cancelled, they do nothing.
    void files() {
        const qsizetype backups = backupCount();
        auto w = openWindow();
        QCOMPARE(click(*w, "pbExport", dir.filePath("race")), QStringList());
        QCOMPARE(click(*w, "pbExport", ""), QStringList());
        QVERIFY(!QFile::exists(".ini"));
        QVERIFY(QDir(dir.path()).mkdir("taken.ini"));
        QCOMPARE(click(*w, "pbExport", dir.filePath("taken")),
                 QStringList{"Notify|INI file can not be written."});
        QCOMPARE(click(*w, "pbImport", dir.filePath("race.txt")),
                 QStringList{"Notify|Please choose INI file"});
        QCOMPARE(click(*w, "pbImport", dir.filePath("taken.ini")),
                 QStringList{"Notify|INI file is not valid."});
        QCOMPARE(click(*w, "pbImport", ""), QStringList());
        PedalSim::factoryReset();
        widget<QComboBox>(*w, "cbPro1")->setCurrentIndex(0);
        QCOMPARE(click(*w, "pbImport", dir.filePath("race.ini")), QStringList());
        QCOMPARE(backupCount(), backups + 1); // only the import that erased anything
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE*|DEFAULT*"));
        QCOMPARE(widget<VexoAxis>(*w, "ctAdc1")->points(), RACE);
    }
};

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
