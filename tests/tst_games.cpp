// Profiles per game: which process matches which rule, the rules file, and the watcher
// switching the virtual pedal set as fake games start and end in a fake proc folder.
#include "app/commandline.h"
#include "app/gamewatcher.h"
#include "app/pedalsession.h"
#include "tests/simfixture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
GameRule rule(const QString& game, const QString& executable, const QString& appId = {},
              const QString& brake = {}, const QString& throttle = {}) {
    return GameRule{game, executable, appId, {QString(), brake, throttle}};
}

CommandResult onPedalSet(const ProfileCommand& command) {
    return PedalSession::runOnce(command, ProfileBackups(), QString(), 0);
}
} // namespace

class TestGames : public QObject {
    Q_OBJECT

    QTemporaryDir proc;

    // A process in the fake proc folder, as Linux shows it.
    void run(int pid, const QByteArray& name, const QByteArray& commandLine,
             const QByteArray& environment = {}) {
        const QString base = proc.filePath(QString::number(pid));
        QDir().mkpath(base);
        for (const auto& [file, content] :
             {std::pair{"comm", name + '\n'}, std::pair{"cmdline", commandLine},
              std::pair{"environ", environment}}) {
            QFile f(base + '/' + file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
    }
    void quit(int pid) { QDir(proc.filePath(QString::number(pid))).removeRecursively(); }

private slots:
    void init() {
        freshPedalSet();
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        PedalSim::setProfile(4, "WET", 2, {5, 15, 40, 60, 95});
        PedalSim::setProfile(5, "DRIFT", 3, {30, 52, 68, 80, 90});
        PedalSim::setSetting(0x0F, 0xEF020100);
        QDir(proc.path()).removeRecursively();
        QDir().mkpath(proc.path());
    }

    void matching_data() {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("steamAppId");
        QTest::addColumn<bool>("matches");
        QTest::newRow("Linux program") << "dirt5"
                                       << ""
                                       << "dirt5" << QStringList{"/opt/dirt5"} << "" << true;
        QTest::newRow("any case, .exe or not")
            << "ACS"
            << ""
            << "acs.exe" << QStringList{"Z:\\Games\\AC\\AcS.exe"} << "" << true;
        QTest::newRow("Windows path of the rule")
            << "C:\\Games\\acs.exe"
            << ""
            << "acs.exe" << QStringList{"C:\\Games\\acs.exe"} << "" << true;
        QTest::newRow("name cut at 15 bytes")
            << "AssettoCorsa.exe"
            << ""
            << "AssettoCorsa.ex" << QStringList{"start.sh"} << "" << true;
        QTest::newRow("a name cut at 15 bytes, not characters")
            << "Überholspur-rennen.exe"
            << ""
            << "Überholspur-re" << QStringList{"start.sh"} << "" << true;
        QTest::newRow("a character cut in two")
            << "ÜÜÜÜÜÜÜÜ.exe"
            << ""
            << "ÜÜÜÜÜÜÜ\uFFFD" << QStringList{"start.sh"} << "" << true;
        QTest::newRow("a longer name cut alike")
            << "AssettoCorsa2.exe"
            << ""
            << "AssettoCorsa.ex" << QStringList{"start.sh"} << "" << false;
        QTest::newRow("prefix of a short name") << "acs"
                                                << ""
                                                << "acsx" << QStringList{"acsx"} << "" << false;
        QTest::newRow("a launcher naming the game")
            << "acs.exe"
            << ""
            << "reaper" << QStringList{"reaper", "--", "acs.exe"} << "" << false;
        QTest::newRow("Steam app id")
            << ""
            << "244210"
            << "wine64-preload" << QStringList{"whatever"} << "244210" << true;
        QTest::newRow("another app id") << ""
                                        << "244210"
                                        << "game" << QStringList{"game"} << "2442100" << false;
    }
    void matching() {
        QFETCH(QString, executable);
        QFETCH(QString, appId);
        QFETCH(QString, name);
        QFETCH(QStringList, arguments);
        QFETCH(QString, steamAppId);
        QTEST(GameRules::matches(rule("game", executable, appId),
                                 RunningProcess{name, arguments, steamAppId, false, {}, {}, {}}),
              "matches");
    }

    // Written and read back whole; a broken file names its line and gives no rules.
    void rulesFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("rules");
        QTest::newRow("missing") << QByteArray() << "" << 0;
        QTest::newRow("two games") << QByteArray("[General]\nautomatic=false\n\n[games]\n"
                                                 "1\\game=AC\n1\\executable=acs.exe\n"
                                                 "2\\game=DR2\n2\\app_id=690790\nsize=2\n")
                                   << "" << 2;
        QTest::newRow("a stray line") << QByteArray("[games]\n1\\game=AC\nbrake RACE\nsize=1\n")
                                      << "Line 3 of %1 is not understood: brake RACE" << 0;
        QTest::newRow("a comma outside quotes") // QSettings would read a list
            << QByteArray("[games]\n1\\game=Dirt, Rally\n1\\executable=x\nsize=1\n")
            << "Line 2 of %1 is not understood: 1\\game=Dirt, Rally" << 0;
        QTest::newRow("a game matched by nothing")
            << QByteArray("[games]\nsize=2\n1\\game=AC\n1\\executable=acs.exe\n2\\game=DR2\n")
            << "Line 5 of %1: game 2 needs a name and an executable or an app_id." << 0;
    }
    void rulesFile() {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath("games.ini");
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
        const GameRules::File loaded = GameRules::load(path);
        QCOMPARE(loaded.error, error.isEmpty() ? error : error.arg(QDir::toNativeSeparators(path)));
        QTEST(int(loaded.rules.size()), "rules");
        if (!loaded.error.isEmpty())
            return;
        GameRules::File changed = loaded;
        changed.rules << rule("Drift, \"Pro\"", "C:\\Games\\drift.exe", "", "WET", "DRIFT");
        QCOMPARE(GameRules::save(path, changed), QString());
        const GameRules::File again = GameRules::load(path);
        QCOMPARE(again.error, QString());
        QCOMPARE(again.automatic, loaded.automatic);
        QCOMPARE(again.rules.size(), changed.rules.size());
        const GameRule& last = again.rules.last();
        QCOMPARE((QStringList{last.game, last.executable, last.profiles[1], last.profiles[2]}),
                 (QStringList{"Drift, \"Pro\"", "C:\\Games\\drift.exe", "WET", "DRIFT"}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"games.ini"}); // no scratch
    }

    // The rules from the command line, one after the other on the same file: what each
    // prints and exits with; a broken file is refused and left as it is.
    void commands() {
        QStandardPaths::setTestModeEnabled(true);
        const QString path = GameRules::defaultPath();
        QFile::remove(path);
        const auto command = [](const QString& line) {
            QString out, err;
            QTextStream outStream(&out), errStream(&err);
            const int code = CommandLine::run(("vexo-setting " + line).split(' '), "tst_games.none",
                                              outStream, errStream);
            return QString::number(code) + " " + out + err;
        };
        QCOMPARE(command("--add-game AC --executable acs.exe --select brake=RACE"),
                 "0 AC: acs.exe\n");
        QCOMPARE(
            command("--add-game DR2 --app-id 690790 --select brake=WET --select throttle=DRIFT"),
            "0 DR2: Steam app 690790\n");
        QCOMPARE(command("--add-game AC --executable ac2.exe --select brake=WET"),
                 "0 AC: ac2.exe\n"); // replaced in its place
        QCOMPARE(command("--games"),
                 "0 Automatic switching: on\n"
                 "AC                    ac2.exe               brake WET\n"
                 "DR2                   Steam app 690790      brake WET, throttle DRIFT\n");
        const QJsonObject json =
            QJsonDocument::fromJson(command("--games --json").mid(2).toUtf8()).object();
        QCOMPARE(
            json["games"].toArray()[1].toObject(),
            (QJsonObject{
                {"game", "DR2"}, {"app_id", "690790"}, {"brake", "WET"}, {"throttle", "DRIFT"}}));
        QCOMPARE(command("--remove-game AC"), "0 AC removed.\n");
        QCOMPARE(command("--remove-game AC"), "5 There is no game named \"AC\".\n");
        QCOMPARE(command("--add-game X --select brake=RACE"),
                 "2 --add-game needs --executable or --app-id.\n");
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append) && file.write("oops\n") == 5);
        file.close();
        QFile read(path);
        QVERIFY(read.open(QIODevice::ReadOnly));
        const QByteArray before = read.readAll();
        const QString expected = QString("5 Line %1 of %2 is not understood: oops\n")
                                     .arg(before.count('\n'))
                                     .arg(QDir::toNativeSeparators(path));
        QCOMPARE(command("--remove-game DR2"), expected);
        QCOMPARE(command("--games"), expected);
        read.seek(0);
        QCOMPARE(read.readAll(), before);
    }

    // Games start and end: each gets its profiles, the later one wins, and ending it returns
    // to the earlier one's, ending the earlier one first leaves the later one's; a choice
    // made meanwhile stays; a profile the pedal set lacks is said, and nothing is switched.
    void watcher() {
#ifndef Q_OS_UNIX
        QSKIP("a fake proc folder stands in for Linux's; Windows lists processes otherwise");
#endif
        GameWatcher watcher(onPedalSet, {proc.path(), 2000});
        watcher.setRules({rule("AC", "acs.exe", "", "RACE"),
                          rule("DR2", "", "690790", "WET", "DRIFT"),
                          rule("Old", "old", "", "GONE")});
        QSignalSpy said(&watcher, &GameWatcher::switched);
        const auto step = [&] {
            watcher.scan();
            QStringList lines;
            for (const QList<QVariant>& signal : std::as_const(said))
                lines << signal.first().toString();
            said.clear();
            return QString::number(PedalSim::keptSelection(), 16) + " " + lines.join(" | ");
        };
        run(100, "bash", QByteArray("bash\0", 5));
        QCOMPARE(step(), "ef020100 ");
        run(200, "acs.exe", QByteArray("C:\\AC\\acs.exe\0", 14));
        QCOMPARE(step(), "ef020300 AC started: brake RACE");
        QCOMPARE(step(), "ef020300 "); // still running: nothing again
        run(300, "dirtrally2.exe", QByteArray("dr2\0", 4),
            QByteArray("HOME=/x\0SteamAppId=690790\0", 27));
        QCOMPARE(step(), "ef050400 DR2 started: brake WET, throttle DRIFT");
        QCOMPARE(watcher.activeGames(),
                 (QStringList{"AC: brake RACE", "DR2: brake WET, throttle DRIFT"}));
        quit(300);
        QCOMPARE(step(), "ef020300 DR2 ended: brake RACE, throttle DEFAULT");
        run(300, "dirtrally2.exe", QByteArray("dr2\0", 4), QByteArray("SteamAppId=690790\0", 18));
        QCOMPARE(step(), "ef050400 DR2 started: brake WET, throttle DRIFT");
        quit(200); // the earlier game first: the later one's profiles stay
        QCOMPARE(step(), "ef050400 ");
        onPedalSet(CommandLine::parse({"vexo-setting", "--select", "throttle=DEFAULT"}).command);
        quit(300); // the throttle was changed meanwhile: it stays
        QCOMPARE(step(), "ef020100 DR2 ended: brake DEFAULT");
        // A launcher that runs the game in its own process (exec) is seen within five scans.
        run(500, "launch.sh", QByteArray("/bin/sh\0launch.sh\0", 19));
        QCOMPARE(step(), "ef020100 ");
        run(500, "acs.exe", QByteArray("Z:\\AC\\acs.exe\0", 15));
        QString seen = " ";
        for (int scan = 0; scan < 5 && seen.endsWith(' '); ++scan)
            seen = step();
        QCOMPARE(seen, "ef020300 AC started: brake RACE");
        quit(500);
        QCOMPARE(step(), "ef020100 AC ended: brake DEFAULT");
        run(400, "old", QByteArray("old\0", 4));
        QCOMPARE(step(),
                 "ef020100 Old started: The pedal set has no brake profile named \"GONE\".");
        QCOMPARE(step(), "ef020100 "); // said once
        QCOMPARE(watcher.activeGames(), QStringList{"Old: brake GONE"});
        // Without the pedal set, a game's switch waits for it, said once.
        PedalSim::unplug();
        run(600, "acs.exe", QByteArray("acs.exe\0", 8));
        QCOMPARE(step(), "ef020100 AC started: No pedal set found.");
        QCOMPARE(step(), "ef020100 ");
        PedalSim::plug();
        QCOMPARE(step(), "ef020300 AC started: brake RACE");
        // A rule changed while its game runs: what the game was given is put back.
        watcher.setRules({rule("AC", "acs.exe", "", "WET"), rule("Old", "old", "", "GONE")});
        quit(600);
        QCOMPARE(step(), "ef020100 AC ended: brake DEFAULT");
        // A game the launch wrapper started is left to it.
        run(700, "acs.exe", QByteArray("acs.exe\0", 8), QByteArray("VEXO_SETTING_WRAPPED=1\0", 23));
        QCOMPARE(step(), "ef020100 ");
        quit(700);
        run(900, "acs.exe", QByteArray("acs.exe\0", 8));
        QCOMPARE(step(), "ef020400 AC started: brake WET");
        // Not put back for want of the pedal set: said once, tried again until it is back.
        PedalSim::unplug();
        quit(900);
        QCOMPARE(step(), "ef020400 AC ended: No pedal set found.");
        QCOMPARE(step(), "ef020400 ");
        PedalSim::plug();
        QCOMPARE(step(), "ef020100 AC ended: brake DEFAULT");
        // A rule removed while its game runs: put back at once.
        run(900, "acs.exe", QByteArray("acs.exe\0", 8));
        QCOMPARE(step(), "ef020400 AC started: brake WET");
        watcher.setRules({rule("Old", "old", "", "GONE")});
        QCOMPARE(step(), "ef020100 AC ended: brake DEFAULT");
    }
};

QTEST_GUILESS_MAIN(TestGames)
#include "tst_games.moc"
