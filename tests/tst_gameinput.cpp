// Whether games see the pedal set: its input device read through libudev from a mock sysfs
// and udev database (umockdev), in each state udev may leave it, and what --check prints
// and exits with. Elsewhere than Linux the check does not apply.
#include "app/commandline.h"
#include "device/gameinput.h"
#include "sim/pedalsim.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTextStream>

#ifdef VEXO_HAVE_UMOCKDEV
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
// glib names a member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <umockdev.h>
#pragma pop_macro("signals")

namespace {
// Whether a user who is neither root nor the node's owner may open it: root may open
// anything, so as root the probe runs in a child that gave its rights up.
int openAsUser(const QString& devnode) {
    if (geteuid() != 0)
        return GameInput::userMayOpen(devnode);
    const pid_t child = fork();
    if (child == 0)
        _exit(setgid(65534) == 0 && setuid(65534) == 0 ? GameInput::userMayOpen(devnode) : 255);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

// A null-terminated list of C strings, as umockdev takes attributes and properties.
class CStrings {
public:
    explicit CStrings(const QStringList& strings) {
        for (const QString& string : strings)
            bytes.push_back(string.toUtf8());
        for (QByteArray& b : bytes)
            pointers.push_back(b.data());
        pointers.push_back(nullptr);
    }
    char** data() { return pointers.data(); }

private:
    std::vector<QByteArray> bytes;
    std::vector<char*> pointers;
};
} // namespace
#endif

class TestGameInput : public QObject {
    Q_OBJECT

    static int check(QString* printed) {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int code = CommandLine::run({"vexo-setting", "--check"}, "tst_gameinput.none",
                                          outStream, errStream);
        *printed = out + err;
        return code;
    }

private slots:
    void init() { PedalSim::reset(); }

#ifdef VEXO_HAVE_UMOCKDEV
    void initTestCase() {
        QVERIFY2(qEnvironmentVariable("LD_PRELOAD").contains("umockdev"),
                 "runs with umockdev's library preloaded, as CTest starts it");
    }
#endif

#ifdef VEXO_HAVE_UMOCKDEV
    // Each state udev may leave the pedal set's input device in: the input device (with
    // the ids) and its event and js nodes, the event node's mode deciding the access.
    void udevStates_data() {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QStringList>("properties");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<int>("exitCode");
        const QString head = "Configuration interface: yes\nInput device: /dev/input/event7\n";
        QTest::newRow("joystick") << "c872" << QStringList{"ID_INPUT=1", "ID_INPUT_JOYSTICK=1"}
                                  << 0666
                                  << head + "Joystick mark: yes\nEvent node access: yes\n"
                                            "Games see the pedals: yes\n"
                                  << 0;
        QTest::newRow("marked by the hardware database")
            << "c872"
            << QStringList{"ID_INPUT=1", "ID_INPUT_ACCELEROMETER=0", "ID_INPUT_JOYSTICK=1"} << 0666
            << head + "Joystick mark: yes\nEvent node access: yes\nGames see the pedals: yes\n"
            << 0;
        QTest::newRow("accelerometer")
            << "c872" << QStringList{"ID_INPUT=1", "ID_INPUT_ACCELEROMETER=1"} << 0
            << head + "Joystick mark: no, marked as an accelerometer (ID_INPUT=1, "
                      "ID_INPUT_ACCELEROMETER=1)\nEvent node access: no (Permission denied)\n"
                      "Games may not see the pedals: marked as an accelerometer\n"
            << 7;
        QTest::newRow("joystick and accelerometer") // SDL takes it for a sensor
            << "c872"
            << QStringList{"ID_INPUT=1", "ID_INPUT_ACCELEROMETER=1", "ID_INPUT_JOYSTICK=1"} << 0666
            << head + "Joystick mark: no, marked as an accelerometer (ID_INPUT=1, "
                      "ID_INPUT_ACCELEROMETER=1, ID_INPUT_JOYSTICK=1)\nEvent node access: yes\n"
                      "Games may not see the pedals: marked as an accelerometer\n"
            << 7;
        QTest::newRow("node not accessible")
            << "c872" << QStringList{"ID_INPUT=1", "ID_INPUT_JOYSTICK=1"} << 0
            << head + "Joystick mark: yes\nEvent node access: no (Permission denied)\n"
                      "Games may not see the pedals: this user may not open them\n"
            << 7;
        QTest::newRow("no udev") << "c872" << QStringList() << 0
                                 << head + "Joystick mark: no, udev left no marks on it\n"
                                           "Event node access: no (Permission denied)\n"
                                           "Games may not see the pedals: not classified by udev\n"
                                 << 7;
        QTest::newRow("no input device") // a pedal set whose input driver is missing
            << "" << QStringList() << 0
            << "Configuration interface: yes\nInput device: none found\n"
               "Games may not see the pedals: no input device found\n"
            << 7;
        QTest::newRow("another maker's joystick only")
            << "046d" << QStringList{"ID_INPUT=1", "ID_INPUT_JOYSTICK=1"} << 0666
            << "Configuration interface: no pedal set found\nInput device: none found\n"
               "Games may not see the pedals: no input device found\n"
            << 3;
    }

    void udevStates() {
        QFETCH(QString, vendor);
        QFETCH(QStringList, properties);
        QFETCH(int, mode);
        if (vendor == "046d")
            PedalSim::unplug();
        UMockdevTestbed* testbed = umockdev_testbed_new();
        gchar* rootDir = umockdev_testbed_get_root_dir(testbed);
        const QString root = QString::fromUtf8(rootDir);
        g_free(rootDir);
        const auto freed = qScopeGuard([testbed] { g_object_unref(testbed); });
        QStringList props;
        for (const QString& property : properties)
            props << property.section('=', 0, 0) << property.section('=', 1);
        const QStringList ids = {"id/bustype", "0003", "id/vendor", vendor, "id/product", "2020"};
        if (!vendor.isEmpty()) {
            gchar* input = umockdev_testbed_add_devicev(
                testbed, "input", "input7", nullptr, CStrings(ids).data(), CStrings(props).data());
            for (const QString node : {"event7", "js0"}) {
                g_free(umockdev_testbed_add_devicev(
                    testbed, "input", node.toUtf8(), input, CStrings({}).data(),
                    CStrings(QStringList{"DEVNAME", "/dev/input/" + node} + props).data()));
                // The node itself, where the mock environment finds /dev.
                QVERIFY(QDir(root).mkpath("dev/input"));
                QFile created(root + "/dev/input/" + node);
                QVERIFY(created.open(QIODevice::WriteOnly));
                // Games read the event node: the js node's access is the other one, and must
                // not count.
                const int nodeMode = node == "event7" ? mode : mode ^ 0666;
                QVERIFY(::chmod(QFile::encodeName(created.fileName()), nodeMode) == 0);
            }
            g_free(input);
        }
        // The probe's user must reach the nodes.
        QVERIFY(::chmod(QFile::encodeName(root), 0755) == 0);

        GameInput::setSource(
            [](const GameInput::OpenProbe&) { return GameInput::systemNodes(openAsUser); });
        const auto restored = qScopeGuard([] { GameInput::setSource({}); });
        QString printed;
        QTEST(check(&printed), "exitCode");
        QTEST(printed, "printed");
    }
#else
    // Games find a HID device without udev elsewhere: nothing to check, nothing to fix.
    void notApplicable() {
        QCOMPARE(GameInput::check().verdict, GameInput::Verdict::NotApplicable);
        QCOMPARE(GameInput::line(GameInput::check()), QString());
        QString printed;
        QCOMPARE(check(&printed), 0);
        QCOMPARE(printed, "Configuration interface: yes\nJoystick mark: not applicable on this "
                          "system\n");
    }
#endif
};

QTEST_GUILESS_MAIN(TestGameInput)
#include "tst_gameinput.moc"
