// The command line: what its options mean, what each command prints and sends to the virtual
// pedal set, and the program itself run without a display.
#include "app/commandline.h"
#include "app/launchwrapper.h"
#include "app/pedalsession.h"
#include "app/singleinstance.h"
#include "device/deviceaccess.h"
#include "device/devicehandle.h"
#include "sim/pedalsim.h"

#include <QDir>
#include <QJsonDocument>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <atomic>
#include <thread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
// No window of this test listens here: commands go to the pedal set.
const QString NO_WINDOW = QStringLiteral("vexo-test-no-window");

QStringList words(const QString& line) {
    return line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Reports that change something, in hex without trailing zeros.
QString writes() {
    QStringList out;
    for (const QByteArray& b : PedalSim::sentReports())
        if (b[1] != 0x0B)
            out << QString(b.toHex().toUpper()).remove(QRegularExpression("(00)+$"));
    return out.join(' ');
}

// The profiles the pedal set keeps (slot and name) and its kept selection.
QString stored() {
    QStringList out;
    for (int slot = 0; slot < 16; ++slot)
        if (PedalSim::profile(slot).axisId - 1u < 3u) // an axis: neither cleared nor erased
            out << QStringLiteral("%1 %2").arg(slot).arg(PedalSim::profileName(slot));
    return out.join(',') + QStringLiteral(" | %1").arg(PedalSim::keptSelection(), 8, 16);
}

#ifdef Q_OS_UNIX
// A process listening at path that answers every request with reply, as uid (this user's
// when negative), until the returned guard ends it.
auto listenerAt(const QString& path, int uid, const QByteArray& reply) {
    int ready[2];
    if (pipe(ready) != 0)
        qFatal("no pipe");
    const QByteArray where = QFile::encodeName(path);
    const pid_t child = fork();
    if (child == 0) {
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, where.constData(), sizeof address.sun_path);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if ((uid >= 0 && (setgid(uid) != 0 || setuid(uid) != 0)) ||
            bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 4) != 0 || write(ready[1], "1", 1) != 1)
            _exit(1);
        for (;;) {
            char request[4096];
            const int peer = accept(fd, nullptr, nullptr);
            if (peer >= 0 && read(peer, request, sizeof request) > 0 &&
                write(peer, reply.constData(), size_t(reply.size())) >= 0)
                close(peer);
        }
    }
    char started = 0;
    close(ready[1]);
    if (read(ready[0], &started, 1) != 1)
        qWarning("the listener did not start");
    close(ready[0]);
    return qScopeGuard([child] {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    });
}
#endif

QString describe(const CommandLine::Parsed& parsed) {
    using Kind = CommandLine::Parsed::Kind;
    if (parsed.kind != Kind::Run)
        return parsed.kind == Kind::Usage   ? "usage: " + parsed.text
               : parsed.kind == Kind::Help  ? "help"
               : parsed.kind == Kind::Check ? "check"
                                            : "version";
    const ProfileCommand& c = parsed.command;
    QString text = QStringList{"raise", "list", "select", "export", "import"}.at(int(c.action));
    for (const auto& [axis, name] : c.selections)
        text += QStringLiteral(" %1=%2").arg(axis).arg(name);
    return text + (c.json ? " json" : "") + (c.file.isEmpty() ? "" : " " + c.file);
}
} // namespace

class TestProfileCommand : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        DeviceHandle::close();
        PedalSim::reset();
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        PedalSim::setProfile(4, "WET", 3, {5, 15, 40, 60, 95});
        PedalSim::setSetting(0x0F, 0xEF020100);
        PedalSim::clearLog();
    }
    void cleanup() { QCOMPARE(PedalSim::protocolErrors(), QStringList()); }

    void windowOrCommand_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("command");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("Qt's options") << "-platform offscreen -style fusion" << false;
        QTest::newRow("a word") << "list" << false;
        QTest::newRow("long option") << "-platform offscreen --list" << true;
        QTest::newRow("Qt's, two dashes") << "--platform wayland --style=Fusion --reverse" << false;
        QTest::newRow("X11's") << "-icon x.png -visual 33 -testability" << false;
        QTest::newRow("not Qt's form") << "--platform=offscreen" << true;
        QTest::newRow("unknown") << "--lsit" << true;
        for (const char* shortOption : {"-h", "-?", "-v"})
            QTest::newRow(shortOption) << shortOption << true;
    }
    void windowOrCommand() {
        QFETCH(QString, line);
        QTEST(CommandLine::isCommand(words("vexo-setting " + line)), "command");
    }

    void parsing_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("parsed");
        const QString where = QDir::currentPath();
        QTest::newRow("list") << "--list"
                              << "list";
        QTest::newRow("Qt's options") << "-platform offscreen --list --style=Fusion -reverse"
                                      << "list";
        QTest::newRow("json") << "--json --list"
                              << "list json";
        QTest::newRow("select") << "--select Brake=a=b --select throttle="
                                << "select 1=a=b 2=";
        QTest::newRow("export") << "--export p"
                                << "export " + where + "/p";
        const QString elsewhere = QDir::tempPath() + "/p.ini"; // absolute, with a drive on Windows
        QTest::newRow("import") << "--import " + elsewhere << "import " + elsewhere;
        QTest::newRow("help") << "-h"
                              << "help";
        QTest::newRow("version") << "--version"
                                 << "version";
        const QString selectUsage = "usage: Invalid --select value \"%1\": give AXIS=NAME, with "
                                    "AXIS clutch, brake or throttle.";
        QTest::newRow("no name") << "--select brake" << selectUsage.arg("brake");
        QTest::newRow("no axis") << "--select pedal=X" << selectUsage.arg("pedal=X");
        QTest::newRow("axis twice") << "--select brake=A --select BRAKE=B"
                                    << "usage: --select names the brake twice.";
        QTest::newRow("check") << "--check"
                               << "check";
        QTest::newRow("two actions") << "--check --import p.ini"
                                     << "usage: Give only one of --list, --select, --export, "
                                        "--import, --check, --games, --add-game and --remove-game.";
        QTest::newRow("nothing to do") << "--json"
                                       << "usage: Nothing to do: give --list, --select, --export, "
                                          "--import, --check, --games, --add-game or "
                                          "--remove-game.";
        QTest::newRow("json alone") << "--json --select brake=A"
                                    << "usage: --json goes with --list or --games.";
        QTest::newRow("two files") << "--export a --export b"
                                   << "usage: --export takes one file name.";
        QTest::newRow("unknown") << "--lst"
                                 << "usage: Unknown option 'lst'.";
        QTest::newRow("missing value") << "--import"
                                       << "usage: Missing value after '--import'.";
        QTest::newRow("stray word") << "--list x"
                                    << "usage: Unexpected argument: x";
    }
    void parsing() {
        QFETCH(QString, line);
        QTEST(describe(CommandLine::parse(words("vexo-setting " + line))), "parsed");
    }

    // On the pedal set itself: what is printed, the exit code, every report that changes
    // something. A refused command sends none.
    void commands_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fault"); // the nth query reply or report lost
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("sent"); // reports that change something
        QTest::addColumn<QString>("kept"); // the profiles and selection kept afterwards
        const QString lost = "The pedal set stopped answering.";
        const QString unchanged = "0 DEFAULT,1 DEFAULT,2 DEFAULT,3 RACE,4 WET | ef020100";
        QTest::newRow("list") << "--list"
                              << "" << 0
                              << "Firmware Version: Mar  4 2023,09:15\n"
                                 "clutch:\n"
                                 "  *  0  DEFAULT           17  33  50  67  83\n"
                                 "brake:\n"
                                 "  *  1  DEFAULT           17  33  50  67  83\n"
                                 "     3  RACE              10  20  30  40  50\n"
                                 "throttle:\n"
                                 "  *  2  DEFAULT           17  33  50  67  83\n"
                                 "     4  WET                5  15  40  60  95\n"
                              << ""
                              << "" << unchanged;
        QTest::newRow("list json")
            << "--list --json"
            << "" << 0
            << "{\"brake\":{\"profiles\":[{\"curve\":[17,33,50,67,83],\"name\":\"DEFAULT\","
               "\"selected\":true,\"slot\":1},{\"curve\":[10,20,30,40,50],\"name\":\"RACE\","
               "\"selected\":false,\"slot\":3}],\"selected\":1},\"clutch\":{\"profiles\":[{"
               "\"curve\":[17,33,50,67,83],\"name\":\"DEFAULT\",\"selected\":true,\"slot\":0}],"
               "\"selected\":0},\"firmware\":\"Mar  4 2023,09:15\",\"throttle\":{\"profiles\":"
               "[{\"curve\":[17,33,50,67,83],\"name\":\"DEFAULT\",\"selected\":true,\"slot\":2},"
               "{\"curve\":[5,15,40,60,95],\"name\":\"WET\",\"selected\":false,\"slot\":4}],"
               "\"selected\":2}}"
            << ""
            << "" << unchanged;
        QTest::newRow("select") << "--select brake=RACE --select throttle=WET"
                                << "" << 0 << "brake: RACE\nthrottle: WET\n"
                                << ""
                                << "020C0F000304EFEF"
                                << "0 DEFAULT,1 DEFAULT,2 DEFAULT,3 RACE,4 WET | ef040300";
        QTest::newRow("already selected") << "--select brake=DEFAULT"
                                          << "" << 0 << "brake: DEFAULT\n"
                                          << ""
                                          << "" << unchanged;
        QTest::newRow("unknown name") << "--select brake=RACE --select throttle=Race"
                                      << "" << 5 << ""
                                      << "The pedal set has no throttle profile named "
                                         "\"Race\"."
                                      << "" << unchanged;
        QTest::newRow("other axis's name") << "--select clutch=RACE"
                                           << "" << 5 << ""
                                           << "The pedal set has no clutch profile named "
                                              "\"RACE\"."
                                           << "" << unchanged;
        QTest::newRow("listing lost") << "--select brake=RACE"
                                      << "get 6" << 4 << "" << lost << "" << unchanged;
        // The 25th report is the selection's write.
        QTest::newRow("commit lost") << "--select brake=RACE"
                                     << "send 25" << 4 << "" << lost << "" << unchanged;
        QTest::newRow("export") << "--export DIR/p"
                                << "" << 0 << "Profiles exported to DIR/p.ini\n"
                                << ""
                                << "" << unchanged;
        QTest::newRow("export refused") << "--export DIR/taken"
                                        << "" << 5 << ""
                                        << "INI file can not be written."
                                        << "" << unchanged;
        QTest::newRow("not an INI file") << "--import DIR/p.txt"
                                         << "" << 5 << ""
                                         << "Please choose INI file"
                                         << "" << unchanged;
        QTest::newRow("missing file") << "--import DIR/none.ini" // told before the device
                                      << "refused" << 5 << ""
                                      << "The file DIR/none.ini can not be read."
                                      << "" << unchanged;
        QTest::newRow("no access")
            << "--list"
            << "refused" << 6 << ""
#ifdef Q_OS_LINUX
            << "The pedal set is plugged in, but this user may not open it. Give access from the "
               "source folder with: sudo cp packaging/linux/70-vexo-px7.rules /etc/udev/rules.d/ "
               "&& sudo udevadm control --reload-rules && sudo udevadm trigger"
#else // no rule to install: Windows needs no driver for a HID device
            << DeviceAccess::hint(DeviceAccess::Platform::Other, false)
#endif
            << "" << unchanged;
        QTest::newRow("invalid file") << "--import DIR/bad.ini"
                                      << "" << 5 << ""
                                      << "INI file is not valid."
                                      << "" << unchanged;
        // Slots 0 and 1 are cleared (an empty name, zero points), then slot 2's reply is
        // lost: the rest is not sent and the file's choice is not kept, as in the window.
        const QString backedUp = "Profiles backed up to BACKUPS/profiles-TIME.ini\n";
        QTest::newRow("import lost")
            << "--import DIR/good.ini"
            << "get 28" << 4 << backedUp << lost
            << "020300001121324353 02040000EF 020301001121324353 02040100EF"
            << "2 DEFAULT,3 RACE,4 WET | ef020100";
        // The store's own tests check an import's reports byte for byte.
        QTest::newRow("import") << "--import DIR/good.ini"
                                << "" << 0 << backedUp + "Profiles imported from DIR/good.ini\n"
                                << "" << QString() << "5 RAIN | ef000500";
        // Every slot is written, but the selection's write (the 111th report) is lost.
        QTest::newRow("import's selection lost")
            << "--import DIR/good.ini"
            << "send 111" << 4 << backedUp << lost << QString() << "5 RAIN | ef020100";
        QTest::newRow("no backup") << "--import DIR/good.ini"
                                   << "backup" << 5 << ""
                                   << "The profiles could not be backed up to BACKUPS; nothing "
                                      "was imported."
                                   << "" << unchanged;
    }
    void commands() {
        QFETCH(QString, line);
        QFETCH(QString, fault);
        QVERIFY(QDir(dir.path()).mkpath("taken.ini"));
        QFile bad(dir.filePath("bad.ini"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("[General]\n03R=1\n"));
        bad.close();
        {
            QSettings good(dir.filePath("good.ini"), QSettings::IniFormat);
            good.setValue("05RAIN", QByteArray::fromHex("05020a141e2832"));
            good.setValue("INDEX", 0xEF000500u);
        }
        // No backups yet; for "backup", a file stands where their folder should be.
        const QString backups = ProfileBackups::defaultFolder();
        QFile::remove(backups);
        QVERIFY(QDir(backups).removeRecursively());
        QVERIFY(fault != "backup" || (QDir().mkpath(QFileInfo(backups).path()) &&
                                      QFile(backups).open(QIODevice::WriteOnly)));
        const int nth = fault.section(' ', 1).toInt();
        PedalSim::failGet(fault.startsWith("get") ? nth : 0);
        PedalSim::failSend(fault.startsWith("send") ? nth : 0);
        PedalSim::refuseAccess(fault == "refused");
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const QString path = dir.path();
        QTEST(CommandLine::run(words("vexo-setting " + QString(line).replace("DIR", path)),
                               NO_WINDOW, outStream, errStream),
              "exitCode");
        if (line.contains("--json")) // as scripts read it
            out = QJsonDocument::fromJson(out.toUtf8()).toJson(QJsonDocument::Compact);
        for (QString* text : {&out, &err})
            text->replace(QDir::toNativeSeparators(path + '/'), "DIR/")
                .replace(path, "DIR")
                .replace(QDir::toNativeSeparators(backups + '/'), "BACKUPS/")
                .replace(QDir::toNativeSeparators(backups), "BACKUPS")
                .replace(QRegularExpression("profiles-\\d{8}-\\d{6}-\\d{3}"), "profiles-TIME");
        QTEST(out, "out");
        QTEST(err.trimmed(), "err");
        QCOMPARE(QDir(backups).entryList(QDir::Files).size(), out.count("backed up"));
        QFETCH(QString, sent);
        if (!sent.isNull())
            QCOMPARE(writes(), sent);
        QTEST(stored(), "kept");
        QVERIFY(!DeviceHandle::isOpen());
    }

    // The one-window socket's folder is the user's alone, or it is not used.
    void privateFolder_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode"); // -1: a link to a private folder
        QTest::addColumn<int>("uid");  // -1: this user
        QTest::addColumn<QString>("problem");
        QTest::newRow("made") << "new/runtime" << 0 << -1 << "";
        QTest::newRow("private") << "ours" << 0700 << -1 << "";
        QTest::newRow("group may write")
            << "group" << 0770 << -1 << "others may write to DIR/group";
        QTest::newRow("a link") << "link" << -1 << -1 << "DIR/link is not a folder";
        QTest::newRow("another user's")
            << "theirs" << 0700 << 65534 << "DIR/theirs belongs to another user";
    }
    void privateFolder() {
#ifndef Q_OS_UNIX
        QSKIP("Unix folders: their owner and mode");
#else
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(int, uid);
        if (uid >= 0 && geteuid() != 0)
            QSKIP("only root can give a folder to another user");
        const QString path = dir.filePath(name);
        const QByteArray native = QFile::encodeName(path);
        if (mode > 0)
            QVERIFY(QDir().mkdir(path) && chmod(native, mode_t(mode)) == 0);
        if (mode < 0)
            QVERIFY(QFile::link(dir.filePath("ours"), path));
        if (uid >= 0)
            QVERIFY(chown(native, uid_t(uid), gid_t(uid)) == 0);
        QString problem;
        const bool accepted = SingleInstance::isPrivateFolder(path, &problem);
        QCOMPARE(accepted, problem.isEmpty());
        QTEST(problem.replace(dir.path(), "DIR"), "problem");
        if (mode == 0) // made for nobody else: owner, group and others' bits
            QCOMPARE(QFileInfo(path).permissions() & 0x7077, 0x7000);
#endif
    }

    // Only a listener of this user's gets the command, and what it prints is cleaned of control
    // characters; the command runs on the pedal set, and the start takes another's place.
    void listenerChecked_data() {
        QTest::addColumn<int>("uid");
        QTest::addColumn<QString>("out");
        QTest::newRow("this user's") << -1 << "brake: RACE[31m\n\tx";
        QTest::newRow("another user's") << 65534 << "brake: RACE\n";
    }
    void listenerChecked() {
#ifndef Q_OS_UNIX
        QSKIP("Unix sockets: a listener of another user");
#else
        QFETCH(int, uid);
        if (uid >= 0 && geteuid() != 0)
            QSKIP("only root can start a listener of another user");
        QTemporaryDir shared;
        QVERIFY(chmod(QFile::encodeName(shared.path()), 0777) == 0);
        const QString name = shared.filePath("vexo.socket");
        QByteArray reply;
        QDataStream(&reply, QIODevice::WriteOnly)
            << qint32(0) << QString("brake: RACE\x1b[31m\r\n\tx\a") << QString();
        const QString ignored = "Ignoring a listener of another user at " + name;
        {
            const auto listener = listenerAt(name, uid, reply);
            if (uid >= 0)
                QTest::ignoreMessage(QtDebugMsg, qPrintable(ignored));
            QString out, err;
            QTextStream outStream(&out), errStream(&err);
            QCOMPARE(CommandLine::run(words("x --select brake=RACE"), name, outStream, errStream),
                     0);
            QTEST(out, "out");
            QCOMPARE(PedalSim::keptSelection(), uid < 0 ? 0xEF020100 : 0xEF020300);
            if (uid < 0)
                return;
            QTest::ignoreMessage(QtDebugMsg, qPrintable(ignored));
            QCOMPARE(SingleInstance(name).listen(), SingleInstance::Listen::Listening);
        }
        const QString nowhere = shared.filePath("none/vexo.socket");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Can not listen at " + nowhere));
        QCOMPARE(SingleInstance(nowhere).listen(), SingleInstance::Listen::Failed);
#endif
    }

    // One command at a time on the pedal set: another one's lock refuses it, naming the
    // holder, and nothing is sent.
    void oneCommandAtATime() {
        QLockFile other(QDir::temp().filePath(NO_WINDOW + ".pedalset.lock"));
        QVERIFY(other.tryLock(0));
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(
            CommandLine::run(words("x --select brake=RACE"), NO_WINDOW, outStream, errStream, 0),
            5);
        QCOMPARE(err, QStringLiteral("The pedal set is in use by tst_profilecommand (process %1); "
                                     "try again when it has finished.\n")
                          .arg(QCoreApplication::applicationPid()));
        QVERIFY(PedalSim::sentReports().empty());
    }

    // Two starts at once (a double-click): one listens, the other finds it.
    void racingStarts() {
        for (int round = 0; round < 20; ++round) {
            std::atomic<int> looked{0};
            QList<SingleInstance::Listen> results(2);
            const auto start = [&](int i) {
                SingleInstance instance(dir.filePath("race.socket"));
                results[i] = instance.listen();
                for (++looked; looked < 2;) // the listener stays until both have looked
                    std::this_thread::yield();
            };
            std::thread first(start, 0), second(start, 1);
            first.join(), second.join();
            QVERIFY(results.contains(SingleInstance::Listen::Listening) &&
                    results.contains(SingleInstance::Listen::OtherInstance));
        }
    }

    // The program as a script runs it, with no display: its exit code and last line.
    // A game started with its own profiles: the selection before, during and after it, and
    // what the wrapper says. The game here changes the pedal set as the window or another
    // command would meanwhile, or unplugs it.
    void launchWrapper_data() {
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("unplugged"); // "before" or "during" the game
        QTest::addColumn<QString>("meanwhile"); // a selection made while the game runs
        QTest::addColumn<quint32>("during");
        QTest::addColumn<quint32>("after");
        QTest::addColumn<QString>("said");
        QTest::newRow("selects and puts back") << "brake=RACE"
                                               << ""
                                               << "" << 0xEF020300u << 0xEF020100u << "";
        QTest::newRow("two axes") << "brake=RACE throttle=WET"
                                  << ""
                                  << "" << 0xEF040300u << 0xEF020100u << "";
        QTest::newRow("already selected") << "brake=DEFAULT"
                                          << ""
                                          << "" << 0xEF020100u << 0xEF020100u << "";
        QTest::newRow("changed meanwhile is kept")
            << "brake=RACE throttle=WET"
            << ""
            << "brake=ICE" << 0xEF040500u << 0xEF020500u << "";
        QTest::newRow("the other axis changed meanwhile")
            << "brake=RACE"
            << ""
            << "throttle=WET" << 0xEF040300u << 0xEF040100u << "";
        QTest::newRow("refused name") << "brake=NOPE"
                                      << ""
                                      << "" << 0xEF020100u << 0xEF020100u
                                      << "The pedal set has no brake profile named \"NOPE\".\n";
        QTest::newRow("no pedal set")
            << "brake=RACE"
            << "before"
            << "" << 0xEF020100u << 0xEF020100u << "No pedal set found.\n";
        QTest::newRow("unplugged during the game")
            << "brake=RACE"
            << "during"
            << "" << 0xEF020300u << 0xEF020300u
            << "The profiles could not be put back: No pedal set found.\n";
    }
    void launchWrapper() {
        QFETCH(QString, select);
        QFETCH(QString, unplugged);
        QFETCH(QString, meanwhile);
        const auto execute = [](const ProfileCommand& command) {
            return PedalSession::runOnce(command, ProfileBackups(), QString(), 0);
        };
        const auto selection = [](const QString& choices) {
            return CommandLine::parse(words("vexo-setting --select " +
                                            QString(choices).replace(" ", " --select ")))
                .command;
        };
        PedalSim::setProfile(5, "ICE", 2, {1, 2, 3, 4, 5});
        if (unplugged == "before")
            PedalSim::unplug();
        quint32 during = 0;
        QStringList started;
        QString said;
        QTextStream err(&said);
        const int status = LaunchWrapper::run(selection(select), {"game", "--fast"}, execute, err,
                                              [&](const QStringList& command, QTextStream&) {
                                                  started = command;
                                                  if (!meanwhile.isEmpty())
                                                      execute(selection(meanwhile));
                                                  during = PedalSim::isPlugged()
                                                               ? PedalSim::keptSelection()
                                                               : 0xEF020100u;
                                                  if (unplugged == "during")
                                                      PedalSim::unplug();
                                                  return 3;
                                              });
        QCOMPARE(status, 3); // the game's, whatever happened around it
        QCOMPARE(started, (QStringList{"game", "--fast"}));
        QTEST(during, "during");
        QTEST(PedalSim::keptSelection(), "after");
        QTEST(said, "said");
    }

    // The game itself: its exit status, a signal's as a shell gives it, one it can not start.
    void startAndWait_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::newRow("exit 3") << QStringList{"sh", "-c", "exit 3"} << 3 << "";
        QTest::newRow("killed") << QStringList{"sh", "-c", "kill -TERM $$"} << 128 + SIGTERM << "";
        // Sent to the wrapper (this test) from the game itself, before or after the game's
        // process is known: it reaches the game either way.
        QTest::newRow("signal to the wrapper")
            << QStringList{"sh", "-c", "kill -TERM $PPID; exec sleep 30"} << 128 + SIGTERM << "";
        QTest::newRow("missing") << QStringList{"/nonexistent/game"} << 127
                                 << "Can not start /nonexistent/game: No such file or "
                                    "directory\n";
    }
    void startAndWait() {
#ifndef Q_OS_UNIX
        QSKIP("sh and its signals are Unix's");
#endif
        QFETCH(QStringList, command);
        QString said;
        QTextStream err(&said);
        QTEST(LaunchWrapper::startAndWait(command, err), "status");
        QTEST(said.remove(QRegularExpression("exec\\w+: ")), "said"); // as Qt names the call
    }

    void program_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("simState");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("select") << "--select brake=RACE"
                                << "" << 0 << "brake: RACE";
        QTest::newRow("unknown name")
            << "--select brake=NOPE"
            << "" << 5 << "The pedal set has no brake profile named \"NOPE\".";
        QTest::newRow("unplugged") << "--list --json"
                                   << "unplugged" << 3 << "No pedal set found.";
        QTest::newRow("usage") << "--lsit"
                               << "" << 2 << "Unknown option 'lsit'.";
        QTest::newRow("version") << "-v"
                                 << "" << 0 << "vexo-setting-sim 1.0.0";
#ifdef Q_OS_WIN
        const QString exitOne = "--select brake=RACE -- cmd /c exit 1";
#else
        const QString exitOne = "--select brake=RACE -- false";
#endif
        QTest::newRow("game") << exitOne << "" << 1 << "";
        QTest::newRow("game without a pedal set")
            << exitOne << "unplugged" << 1 << "No pedal set found.";
        QTest::newRow("help") << "--help"
                              << "" << 0
                              << "With --select and -- COMMAND: the command's own (127: it could "
                                 "not be started)";
    }
    void program() {
        QFETCH(QString, line);
        QFETCH(QString, simState);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(display);
        environment.insert("LC_ALL", "C");
        environment.insert("XDG_RUNTIME_DIR", dir.path()); // as a desktop session has
        environment.insert("VEXO_SIM_STATE", simState);
        program.setProcessEnvironment(environment);
        program.start(VEXO_SIM_PROGRAM, words(line));
        QVERIFY(program.waitForFinished(30000));
        QTEST(program.exitCode(), "exitCode");
        const QString output = program.readAllStandardOutput() + program.readAllStandardError();
        QTEST(output.trimmed().split('\n').last().trimmed(), "lastLine");
    }
};

QTEST_GUILESS_MAIN(TestProfileCommand)
#include "tst_profilecommand.moc"
