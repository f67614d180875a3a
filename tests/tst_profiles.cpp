// The PROFILES page's wiring on the virtual pedal set; the rules are in tst_profilestore.
#include "tests/windowfixture.h"

#include "app/commandline.h"
#include "app/singleinstance.h"
#include "app/traywatcher.h"
#include "app/widgets/vexoaxis.h"

#include <QComboBox>
#include <QDataStream>
#include <QLineEdit>
#include <QLocalSocket>
#include <QLockFile>
#include <QMap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
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
// Runs work on another thread, as a second program would: this one serves the window.
QString fromAnotherThread(const std::function<QString()>& work) {
    std::atomic<bool> done{false};
    QString text;
    std::thread client([&] {
        text = work();
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done.load(); }, 60000))
        qWarning("no answer within a minute");
    client.join();
    return text;
}
// A command line: its exit code, then its output.
QString command(const QString& server, const QString& line) {
    return fromAnotherThread([&] {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int code =
            CommandLine::run(("vexo-setting " + line).split(' '), server, outStream, errStream);
        return QString::number(code) + ' ' + out + err;
    });
}
// A raise, or a request as a program of another version, or a hostile one, might send it: a
// selection of the brake's DEFAULT but for the one thing its kind names.
QByteArray requestOfKind(const QString& kind) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    const quint32 count = kind == "raise" ? 0 : kind == "four selections" ? 4 : 1;
    const QMap<QString, qint32> actions{{"raise", 0}, {"unknown action", 5}, {"relative file", 3}};
    out << quint32(kind == "another protocol" ? 0x56580002 : 0x56580001) << actions.value(kind, 2)
        << false << count;
    for (quint32 i = 0; i < count; ++i)
        out << qint32(kind == "unknown axis" ? 3 : 1) << QString("DEFAULT");
    out << (kind == "relative file" ? QString("out")
                                    : QString(kind == "oversized" ? 40000 : 0, 'x'));
    return bytes;
}

// Raw bytes as the request; the reply as command() gives it.
QString rawRequest(const QString& server, const QByteArray& request) {
    return fromAnotherThread([&] {
        QLocalSocket socket;
        socket.connectToServer(server);
        socket.waitForConnected(5000);
        socket.write(request);
        socket.waitForBytesWritten(30000);
        QDataStream in(&socket);
        qint32 code = -1;
        QString out, err;
        do
            in.startTransaction(), in >> code >> out >> err;
        while (!in.commitTransaction() && socket.waitForReadyRead(30000));
        return QString::number(code) + ' ' + out + err + '\n';
    });
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

    // The lists hold only what the pedal set holds: typing completes nothing and Enter adds
    // nothing, but a whole name chooses its profile. Choosing redraws the curve and previews
    // it; the close button commits the choice.
    void choosing() {
        auto w = openWindow();
        QComboBox* list = widget<QComboBox>(*w, "cbPro1");
        VexoAxis* curve = widget<VexoAxis>(*w, "ctAdc1");
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE*|DEFAULT*"));
        QCOMPARE(curve->points() + widget<VexoAxis>(*w, "ctAdc2")->points(), RACE + FACTORY);
        PedalSim::clearLog();
        for (const char* typed : {"TYPED", "RA", "DEFAULT"}) {
            list->lineEdit()->selectAll();
            QTest::keyClicks(list->lineEdit(), typed);
            QTest::keyClick(list->lineEdit(), Qt::Key_Return);
        }
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT*,RACE|DEFAULT*"));
        QCOMPARE(curve->points(), FACTORY);
        QTest::mouseClick(widget<QPushButton>(*w, "pbClose"), Qt::LeftButton);
        QCOMPARE(sentHex(), (QStringList{reportHex("020C0F000102"), reportHex("020B0C0F"),
                                         reportHex("020C0F000102EFEF")}));
    }

    // GAMES opens the rules with the pedal set's profiles to choose from and saves what was
    // edited; the window then switches by them. A broken file is shown, not emptied.
    void gamesRules() {
        const QString path = testOptions().gameRulesPath;
        QFile::remove(path);
        auto w = openWindow();
        TestDialogs& dialogs = testDialogs();
        const auto reset = qScopeGuard([&] { dialogs.games = nullptr; });
        dialogs.games = [](GameRules::File& file) {
            file.rules << GameRule{"Sim", "no-such-game.exe", "", {"", "RACE", ""}};
            return true;
        };
        QTest::mouseClick(widget<QPushButton>(*w, "pbGamesRules"), Qt::LeftButton);
        QCOMPARE(dialogs.offeredProfiles[1], (QStringList{"DEFAULT", "RACE"}));
        const GameRules::File saved = GameRules::load(path);
        QCOMPARE(saved.rules.size(), 1);
        QCOMPARE(saved.rules[0].profiles[1], "RACE");
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append) && file.write("oops\n") == 5);
        file.close();
        MessageBoxAnswerer answerer;
        bool offered = false;
        dialogs.games = [&offered](GameRules::File&) {
            return offered = true;
        };
        QTest::mouseClick(widget<QPushButton>(*w, "pbGamesRules"), Qt::LeftButton);
        QVERIFY(!offered);
        QCOMPARE(answerer.seen.size(), 1);
        QVERIFY(answerer.seen[0].startsWith("Error|Line "));
        QVERIFY(answerer.seen[0].endsWith(" is not understood: oops"));
        QCOMPARE(GameRules::load(path).rules.size(), 0); // still broken: nothing was written
    }

    // The background watcher switches through the open window, whose lists show the game's
    // profile, and once the window is closed on the pedal set itself. Its menu names the
    // game; a broken rules file stops it and is told.
    void backgroundWatcher() {
#ifndef Q_OS_UNIX
        QSKIP("a fake proc folder stands in for Linux's; Windows lists processes otherwise");
#endif
        const QString server = dir.filePath("watch.socket");
        const QString rules = dir.filePath("games.ini");
        QVERIFY(
            GameRules::save(rules, {{GameRule{"AC", "acs.exe", "", {"", "DEFAULT", ""}}}, true, {}})
                .isEmpty());
        QTemporaryDir proc;
        auto w = openWindow();
        auto instance = std::make_unique<SingleInstance>(server);
        QCOMPARE(instance->listen(), SingleInstance::Listen::Listening);
        instance->setHandler([&](const ProfileCommand& c) { return w->runCommand(c); });
        TrayWatcher tray(server, rules, {proc.path(), 2000});
        QSignalSpy told(&tray, &TrayWatcher::told);
        tray.reload();
        QCOMPARE(tray.menu().actions().first()->text(), "No game running");
        const QString game = proc.filePath("700");
        QVERIFY(QDir().mkpath(game));
        QFile comm(game + "/comm");
        QVERIFY(comm.open(QIODevice::WriteOnly) && comm.write("acs.exe\n") == 8);
        comm.close();
        // As from another process: this one serves the window.
        fromAnotherThread([&] { return tray.watcher().scan(), QString(); });
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT*,RACE|DEFAULT*"));
        QTRY_COMPARE(tray.menu().actions().first()->text(), "AC: brake DEFAULT");
        w.reset(); // closed: the pedal set keeps the game's choice
        instance.reset();
        QVERIFY(QDir(game).removeRecursively());
        tray.watcher().scan();
        QCOMPARE(PedalSim::keptSelection(), 0xEF020300u); // put back, on the pedal set itself
        QCOMPARE(told.size(), 2);
        QCOMPARE(told.last().first().toString(), "AC ended: brake RACE");
        QCOMPARE(tray.menu().actions().first()->text(), "No game running");
        QFile broken(rules);
        QVERIFY(broken.open(QIODevice::Append) && broken.write("oops\n") == 5);
        broken.close();
        tray.reload();
        QVERIFY(told.last().first().toString().endsWith(" is not understood: oops"));
        QVERIFY(!tray.watcher().isRunning());
    }

    // The typed name and the curve as drawn: a point dragged to 29.5 is stored as 29.
    // Removing needs no answer; the list falls back to its first entry.
    void savingAndRemoving() {
        auto w = openWindow();
        VexoAxis* curve = widget<VexoAxis>(*w, "ctAdc1");
        QTest::mousePress(curve, Qt::LeftButton, {}, QPoint(105, 140));
        QTest::mouseMove(curve, QPoint(105, 141));
        QTest::mouseRelease(curve, Qt::LeftButton, {}, QPoint(105, 141));
        // A prefix of another name, typed and saved with a click, is a name of its own.
        QLineEdit* typed = widget<QComboBox>(*w, "cbPro1")->lineEdit();
        w->activateWindow(); // a completer completes only in the focused box
        typed->setFocus();
        QTRY_VERIFY(typed->hasFocus());
        typed->selectAll();
        QTest::keyClicks(typed, "RA");
        MessageBoxAnswerer answerer;
        QTest::mouseClick(widget<QPushButton>(*w, "pbSavePro1"), Qt::LeftButton);
        QCOMPARE(answerer.seen, QStringList{"Notify|Profile is saved"});
        QCOMPARE(PedalSim::profileName(4) + PedalSim::profileName(3), "RARACE");
        QCOMPARE(PedalSim::profile(4).points, (std::array<quint8, 5>{10, 20, 29, 40, 50}));
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE,RA*|DEFAULT*"));
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
        QCOMPARE(click(*w, "pbDelPro1", "RA"), QStringList());
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

    // A second start finds the window: a command is carried out by it and kept at close.
    void commandsToTheRunningWindow() {
        const QString server = dir.filePath("vexo.socket");
        auto w = openWindow();
        SingleInstance instance(server);
        QCOMPARE(instance.listen(), SingleInstance::Listen::Listening);
        QCOMPARE(command(server, "--list"), "3 No pedal set found.\n"); // no handler yet
        instance.setHandler([&](const ProfileCommand& c) { return w->runCommand(c); });
        QCOMPARE(command(server, "--select brake=DEFAULT"), "0 brake: DEFAULT\n");
        QCOMPARE(widget<VexoAxis>(*w, "ctAdc1")->points(), FACTORY);
        PedalSim::clearLog();
        QVERIFY(w->close());
        QCOMPARE(sentHex(), QStringList{reportHex("020B0C0F")}); // the choice stands
        w = openWindow();
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QCOMPARE(command(server, "--select brake=DEFAULT"), "3 No pedal set found.\n");
    }

    // One process at a time on the pedal set: the window waits while a command holds it,
    // then holds it for as long as it runs, and a command meanwhile is refused naming it.
    void windowHoldsThePedalSet() {
        WindowOptions options = testOptions();
        options.lockPath = dir.filePath("pedalset.lock");
        ProfileCommand list;
        list.action = ProfileCommand::Action::List;
        {
            QLockFile command(options.lockPath);
            QVERIFY(command.tryLock(0));
            QTest::ignoreMessage(QtDebugMsg,
                                 "The pedal set is in use by another process; trying again later.");
            MainWindow w(options);
            QTRY_COMPARE(headText(w), QStringLiteral("WAITING FOR DEVICE..."));
            QCOMPARE(PedalSim::openAttempts(), 0);
            command.unlock();
            w.onInit();
            QVERIFY(connected(w));
            PedalSim::clearLog();
            const CommandResult refused =
                PedalSession::runOnce(list, ProfileBackups(), options.lockPath, 0);
            QCOMPARE(refused.err, QStringLiteral("The pedal set is in use by tst_profiles (process "
                                                 "%1); try again when it has finished.")
                                      .arg(QCoreApplication::applicationPid()));
            QVERIFY(refused.exitCode == ExitCode::REFUSED && PedalSim::log().empty());
        }
        QCOMPARE(PedalSession::runOnce(list, ProfileBackups(), options.lockPath, 0).exitCode,
                 ExitCode::SUCCESS);
        // A lock that cannot be made at all does not keep the window from the pedal set.
        options.lockPath = dir.filePath("missing/pedalset.lock");
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Can not lock " + options.lockPath +
                                                    "; going on without the lock."));
        QVERIFY(connected(*openWindow(options)));
    }

    // Each kind of request crosses a real socket with its fields and is carried out by the
    // window; one that is not a request of ours is refused before anything is sent.
    void socketProtocol_data() {
        QTest::addColumn<QString>("line"); // a command line, or a raw request's kind
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("lists");
        const QString unchanged = "DEFAULT*|DEFAULT,RACE*|DEFAULT*";
        QTest::newRow("raise") << "raise"
                               << "0 \n"
                               << unchanged;
        // A listing's text and JSON are checked whole where the command runs on its own.
        QTest::newRow("list") << "--list"
                              << "0 Firmware Version: Mar  4 2023,09:15\nclutch:\n"
                              << unchanged;
        QTest::newRow("list json") << "--list --json"
                                   << "0 {\n    \"brake\": {" << unchanged;
        QTest::newRow("select") << "--select brake=DEFAULT --select CLUTCH=DEFAULT"
                                << "0 brake: DEFAULT\nclutch: DEFAULT\n"
                                << "DEFAULT*|DEFAULT*,RACE|DEFAULT*";
        QTest::newRow("export") << "--export DIR/out"
                                << "0 Profiles exported to DIR/out.ini\n"
                                << unchanged;
        QTest::newRow("import") << "--import DIR/rain.ini"
                                << "0 Profiles backed up to BACKUPS/profiles-TIME.ini\n"
                                   "Profiles imported from DIR/rain.ini\n"
                                << "|RAIN*|";
        const QString refused = "2 The request was not understood.\n";
        for (const char* kind : {"another protocol", "unknown action", "unknown axis",
                                 "four selections", "oversized", "relative file"})
            QTest::newRow(kind) << kind << refused << unchanged;
    }
    void socketProtocol() {
        QFETCH(QString, line);
        const QString server = dir.filePath("protocol.socket");
        {
            QSettings rain(dir.filePath("rain.ini"), QSettings::IniFormat);
            rain.setValue("05RAIN", QByteArray::fromHex("05020a141e2832"));
            rain.setValue("INDEX", 0xEF000500u);
        }
        auto w = openWindow();
        w->showMinimized();
        SingleInstance instance(server);
        QCOMPARE(instance.listen(), SingleInstance::Listen::Listening);
        int carriedOut = 0; // what each carried out shows that its fields came across
        instance.setHandler([&](const ProfileCommand& c) {
            ++carriedOut;
            return w->runCommand(c);
        });
        PedalSim::clearLog();
        line.replace("DIR", dir.path());
        const bool raise = line == "raise";
        const bool ours = raise || line.startsWith("--");
        QString got =
            line.startsWith("--") ? command(server, line) : rawRequest(server, requestOfKind(line));
        got.replace(QDir::toNativeSeparators(dir.path() + '/'), "DIR/")
            .replace(dir.path(), "DIR")
            .replace(QDir::toNativeSeparators(backupFolder() + '/'), "BACKUPS/")
            .replace(QRegularExpression("profiles-\\d{8}-\\d{6}-\\d{3}"), "profiles-TIME");
        QFETCH(QString, reply); // whole, or the start of a listing
        QVERIFY2(got == reply || (line.startsWith("--list") && got.startsWith(reply)),
                 qPrintable(got));
        QCOMPARE(carriedOut, ours ? 1 : 0);
        QVERIFY(ours || PedalSim::sentReports().empty());
        QTEST(shown(*w), "lists");
        QCOMPARE(w->isMinimized(), !raise);
        QCOMPARE(QFile::exists(dir.filePath("out.ini")), line.startsWith("--export"));
        QFile::remove(dir.filePath("out.ini"));
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
        const QStringList imported = click(*w, "pbImport", dir.filePath("race.ini"));
        QCOMPARE(backupCount(), backups + 1); // only the import that erased anything
        QCOMPARE(imported, QStringList{"Notify|Profiles imported." + keptNote()});
        QCOMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE*|DEFAULT*"));
        QCOMPARE(widget<VexoAxis>(*w, "ctAdc1")->points(), RACE);
        // Stopped after slots were cleared: the user is told where the profiles are kept.
        PedalSim::failGet(20);
        const QStringList stopped = click(*w, "pbImport", dir.filePath("race.ini"));
        const QFileInfo backup = QDir(backupFolder()).entryInfoList(QDir::Files, QDir::Name).last();
        QCOMPARE(stopped, QStringList{"Notify|The import stopped before all profiles were written. "
                                      "The profiles as they were are in " +
                                      QDir::toNativeSeparators(backup.filePath()) + "."});
        QTRY_COMPARE(shown(*w), QStringLiteral("DEFAULT*|DEFAULT,RACE*|DEFAULT*"));
    }
};

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
