// The window's life: waiting, connecting, losing the device, the sidebar, dragging, closing,
// and the live inputs: every sample counts for the calibration, the screen shows the newest.
#include "tests/windowfixture.h"

#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cerrno>

namespace {

// The head, a mark per page button ('*' checked, '+' enabled, '-' disabled), the page shown,
// and the status light (S) or the firmware version (V) when shown.
QString shell(QWidget& w) {
    QString marks;
    for (const char* name : {"pbS1", "pbS2", "pbS3", "pbS4", "pbS5"}) {
        auto* button = widget<QAbstractButton>(w, name);
        marks += button->isChecked() ? '*' : button->isEnabled() ? '+' : '-';
    }
    return headText(w) + ' ' + marks + ' ' + QString::number(pageIndex(w)) +
           (widget(w, "pbStatus")->isHidden() ? "" : " S") +
           (widget(w, "lbVersion")->isHidden() ? "" : " V");
}

WindowOptions retryEvery(int ms) {
    WindowOptions options = testOptions();
    options.retryIntervalMs = ms;
    return options;
}

// The three labels, then the input bars, then the calibration bars.
QString shown(QWidget& w) {
    QStringList out;
    for (const char* name : {"lbAdc%1", "pgAdc%1", "pgCal%1"})
        for (int axis = 0; axis < 3; ++axis)
            out << widget(w, qPrintable(QString(name).arg(axis)))
                       ->property(name[0] == 'l' ? "text" : "value")
                       .toString();
    return out.join(' ');
}

// A sample as the reader hands it over.
void feed(MainWindow& w, quint16 clutch, quint16 brake, quint16 throttle) {
    QByteArray sample;
    for (quint16 v : {clutch, brake, throttle})
        sample.append(char(v & 0xFF)).append(char(v >> 8));
    w.onJoystickEvent(sample);
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void init() { freshPedalSet(); }
    void cleanup() { checkDeviceUse(); }

    void waitsAndConnects() {
        PedalSim::unplug();
        QDeadlineTimer interval(95, Qt::PreciseTimer);
        auto w = openWindow(retryEvery(100));
        QTRY_COMPARE(shell(*w), "WAITING FOR DEVICE... ----* 4 S");
        QTRY_VERIFY(PedalSim::openAttempts() >= 2); // once the interval is over
        QVERIFY(interval.hasExpired());
        PedalSim::setVersionText("V3.4\tMar 4 2023:");
        PedalSim::plug();
        QTRY_COMPARE(shell(*w), "VEXO PX7 *++++ 0 V");
        QCOMPARE(widget<QLabel>(*w, "lbVersion")->text(), "Firmware Version:V3.4\tMar 4 2023");
        QVERIFY(w->session().reader().isRunning());
    }

    // Root runs a fixed script that is given the rule's and the joystick mark's text itself:
    // no file the user could change between the password prompt and the copy. A pkexec of
    // the test's records it.
    void ruleInstallerCommand_data() {
        QTest::addColumn<int>("fixes");
        QTest::addColumn<bool>("rule");
        QTest::addColumn<bool>("mark");
        QTest::addColumn<QString>("apply");
        QTest::newRow("rule") << int(AccessRuleInstaller::Rule) << true << false << "";
        QTest::newRow("joystick mark")
            << int(AccessRuleInstaller::JoystickMark) << false << true << "";
        QTest::newRow("both") << int(AccessRuleInstaller::Rule | AccessRuleInstaller::JoystickMark)
                              << true << true << "";
        QTest::newRow("the package's mark applied")
            << int(AccessRuleInstaller::ApplyMark) << false << false << "apply";
    }

    void ruleInstallerCommand() {
#ifndef Q_OS_LINUX
        QSKIP("the udev rule, the hardware database and pkexec are Linux's");
#endif
        QFETCH(int, fixes);
        QFETCH(bool, rule);
        QFETCH(bool, mark);
        QFETCH(QString, apply);
        QTemporaryDir bin;
        QFile pkexec(bin.filePath("pkexec"));
        QVERIFY(pkexec.open(QIODevice::WriteOnly) && pkexec.setPermissions(QFile::ExeOwner));
        pkexec.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$0.args\"\n");
        pkexec.close();
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ':' + path);
        AccessRuleInstaller installer;
        QSignalSpy finished(&installer, &AccessRuleInstaller::finished);
        installer.start(AccessRuleInstaller::Fixes(fixes));
        QVERIFY(finished.wait(60000));
        qputenv("PATH", path);
        QCOMPARE(finished.first(), (QVariantList{true, QString()}));
        QFile recorded(pkexec.fileName() + ".args");
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QStringList arguments = QString::fromUtf8(recorded.readAll()).split(QChar(0));
        arguments.removeLast(); // after the last terminator
        const QString script =
            "set -e; umask 022; put() { mkdir -p \"$2\"; printf '%s\\n' \"$1\" > \"$2/$3.new\"; "
            "chmod 0644 \"$2/$3.new\"; mv -f \"$2/$3.new\" \"$2/$3\"; }; if [ -n \"$1\" ]; then "
            "put "
            "\"$1\" /etc/udev/rules.d 70-vexo-px7.rules; fi; if [ -n \"$2\" ]; then put \"$2\" "
            "/etc/udev/hwdb.d 70-vexo-px7.hwdb; fi; if [ -n \"$2\" ] || [ \"$3\" = apply ]; then "
            "if "
            "[ -e /etc/udev/hwdb.bin ]; then systemd-hwdb update; else systemd-hwdb --usr update; "
            "fi; fi; set +e; udevadm control "
            "--reload-rules; for node in /sys/class/hidraw/*; do if grep -qsx "
            "'HID_ID=0003:0000C872:00002020' \"$node/device/uevent\"; then udevadm trigger "
            "--action=change \"$node\"; fi; done; for node in /sys/class/input/*; do if grep -qs "
            "'^PRODUCT=3/c872/2020/' \"$node/uevent\" \"$node/device/uevent\"; then udevadm "
            "trigger "
            "--action=change \"$node\"; fi; done; udevadm settle --timeout=10; exit 0";
        const auto packaged = [](const QString& name) { // the packaged files, built in
            QFile file(":/udev/" + name);
            return file.open(QIODevice::ReadOnly) ? QString(file.readAll().trimmed()) : "?";
        };
        QCOMPARE(arguments, (QStringList{"/bin/sh", "-c", script, "sh",
                                         rule ? packaged("70-vexo-px7.rules") : "",
                                         mark ? packaged("70-vexo-px7.hwdb") : "", apply}));
        QCOMPARE(QProcess::execute("/bin/sh", {"-n", "-c", script}), 0); // it parses
    }

    // Listed but refused: the head says so, the hint comes once per plug-in and on a click,
    // attempts go on every 3,000 ms, and once the rule is installed the next one connects.
    void noAccess() {
        struct Installer : AccessRuleInstaller {
            bool isAvailable() const override { return true; }
            void start(Fixes) override {
                ++starts;
                PedalSim::refuseAccess(!works);
                emit finished(works, works ? QString() : "Request dismissed");
            }
            int starts = 0;
            bool works = false;
        } installer;
        WindowOptions options = testOptions();
        options.ruleInstaller = &installer;
        PedalSim::refuseAccess(true);
        MessageBoxAnswerer answerer(QMessageBox::No);
        const QString hint = "Notify|" + DeviceAccess::hint(DeviceAccess::THIS_PLATFORM, true);
        MainWindow w(options);
        w.show();
        QTRY_COMPARE(answerer.seen, QStringList{hint});
        QCOMPARE(shell(w), "NO ACCESS TO DEVICE ----* 4 S");
        QCOMPARE(w.session().nextAttemptMs(), 3000);
        ProfileCommand listing; // a command forwarded to the window is told the same
        listing.action = ProfileCommand::Action::List;
        QCOMPARE(w.runCommand(listing).exitCode, ExitCode::NO_ACCESS);
        const auto attempt = [&] {
            w.onInit();
        };
        attempt();
        attempt();
        QTest::mouseClick(widget(w, "lbHead"), Qt::LeftButton);
        QCOMPARE(answerer.seen, QStringList(2, hint));
        PedalSim::unplug();
        attempt();
        QCOMPARE(shell(w), "WAITING FOR DEVICE... ----* 4 S");
        QTest::mouseClick(widget(w, "pbStatus"), Qt::LeftButton); // nothing to explain
        PedalSim::plug();
        attempt();
        QTRY_COMPARE(answerer.seen.size(), 3);

        answerer.answer = QMessageBox::Yes;
        QTest::mouseClick(widget(w, "pbStatus"), Qt::LeftButton);
        QCOMPARE(answerer.seen.last(), "Error|The udev rule was not installed.\nRequest dismissed");
        installer.works = true;
        QTest::mouseClick(widget(w, "pbStatus"), Qt::LeftButton);
        QCOMPARE(installer.starts, 2);
        QCOMPARE(shell(w), "NO ACCESS TO DEVICE ----* 4 S"); // until the next attempt
        attempt();
        QTRY_COMPARE(shell(w), "VEXO PX7 *++++ 0 V");
        QCOMPARE(answerer.seen.size(), 6);
    }

    // The ABOUT page's line says what games get; a click explains and, where the mark may
    // help, installs it (with the rule when the pedal set is refused too), then says the
    // result. Without a pedal set the head alone speaks.
    void gamesLine() {
        struct Installer : AccessRuleInstaller {
            bool isAvailable() const override { return true; }
            void start(Fixes fixes) override {
                asked << int(fixes);
                PedalSim::setInputMark(PedalSim::InputMark::Joystick);
                emit finished(true, QString());
            }
            QList<int> asked;
        } installer;
        PedalSim::setInputMark(PedalSim::InputMark::Accelerometer);
        PedalSim::refuseAccess(true);
        WindowOptions options = testOptions();
        options.ruleInstaller = &installer;
        MessageBoxAnswerer answerer(QMessageBox::No);
        MainWindow w(options);
        w.show();
        QTRY_COMPARE(shell(w), "NO ACCESS TO DEVICE ----* 4 S");
        auto* line = widget<QPushButton>(w, "pbGames");
        QCOMPARE(line->text(), "Games may not see the pedals: marked as an accelerometer");
        QVERIFY(!line->isHidden());
        answerer.answer = QMessageBox::Yes;
        answerer.seen.clear();
        QTest::mouseClick(line, Qt::LeftButton);
        GameInput::Node event{
            "/dev/input/event7", {{"ID_INPUT", "1"}, {"ID_INPUT_ACCELEROMETER", "1"}}, EACCES};
        QCOMPARE(answerer.seen,
                 (QStringList{"Notify|" + GameInput::explanation(
                                              {GameInput::Verdict::NotJoystick, event, {}}, true),
                              "Notify|The joystick mark is installed.\nGames see the pedals: yes\n"
                              "Restart games and Steam if they are running."}));
        QCOMPARE(installer.asked,
                 QList<int>{AccessRuleInstaller::Rule | AccessRuleInstaller::JoystickMark});
        QCOMPARE(line->text(), "Games see the pedals: yes");
        QTest::mouseClick(line, Qt::LeftButton); // nothing to fix: explained only
        QCOMPARE(installer.asked.size(), 1);
        QVERIFY(answerer.seen.last().startsWith("Notify|The pedal set's input device "
                                                "/dev/input/event7 is marked as a joystick"));
        PedalSim::unplug();
        w.onInit();
        QCOMPARE(shell(w), "WAITING FOR DEVICE... ----* 4 S");
        QVERIFY(line->isHidden());
    }

    // Version and clutch mode first, then the profiles (the store's own reports), deadzones last.
    void connectionReports() {
        auto w = openWindow();
        const QStringList sent = sentHex();
        QCOMPARE(sent.mid(0, 2), (QStringList{reportHex("020B0900"), reportHex("020B0C07")}));
        QCOMPARE(sent.last(), reportHex("020B0501"));
    }

    // Each sidebar button shows its page, from which a lost device leads to the waiting one.
    void lostDeviceOnEveryPage() {
        auto w = openWindow(retryEvery(20));
        for (int page = 0; page < 5; ++page) {
            QTest::mouseClick(widget(*w, qPrintable(QString("pbS%1").arg(page + 1))),
                              Qt::LeftButton);
            QCOMPARE(shell(*w), QString("VEXO PX7 +++++ %1 V").replace(9 + page, 1, '*').arg(page));
            PedalSim::unplug();
            QTRY_COMPARE(shell(*w), "WAITING FOR DEVICE... ----* 4 S");
            QVERIFY(!DeviceHandle::isOpen());
            PedalSim::plug();
            QTRY_COMPARE(shell(*w), "VEXO PX7 *++++ 0 V");
        }
    }

    // The device is still there: back at once, not after the retry; a calibration is forgotten.
    void readErrorReconnectsAtOnce() {
        auto w = openWindow(retryEvery(60000));
        auto* brake = widget<QAbstractButton>(*w, "pbSave1");
        QTest::mouseClick(brake, Qt::LeftButton);
        QCOMPARE(brake->text(), "SAVE");
        const int opens = PedalSim::openCount();
        PedalSim::failInputRead(1);
        QTRY_COMPARE(PedalSim::openCount(), opens + 1);
        QTRY_VERIFY(w->session().reader().isRunning());
        QCOMPARE(shell(*w), "VEXO PX7 *++++ 0 V");
        QCOMPARE(brake->text(), "CALIBRATE");
    }

    // A left-button drag from the top 50 pixels moves the window, each step truncated.
    void dragging() {
        auto w = openWindow();
        const QPoint start = w->pos();
        mouse(*w, QEvent::MouseButtonPress, QPointF(300, 49.4), QPointF(400, 149.4));
        mouse(*w, QEvent::MouseMove, QPointF(310, 60), QPointF(410.9, 170.2));
        QCOMPARE(w->pos(), start + QPoint(10, 20));
        // No drag from row 50 (49.5 rounds to it), with the right button, or from a press left
        // of the primary screen: a negative origin means none.
        const std::tuple<double, double, Qt::MouseButton> presses[] = {
            {49.5, 400, Qt::LeftButton}, {10, 400, Qt::RightButton}, {10, -20, Qt::LeftButton}};
        for (auto [y, x, button] : presses) {
            mouse(*w, QEvent::MouseButtonRelease, QPointF(), QPointF());
            mouse(*w, QEvent::MouseButtonPress, QPointF(300, y), QPointF(x, 110), button);
            mouse(*w, QEvent::MouseMove, QPointF(310, 60), QPointF(x + 100, 300));
            QCOMPARE(w->pos(), start + QPoint(10, 20));
        }
    }

    // However the window goes, the reader stops before the handle is closed.
    void closing() {
        for (const char* how : {"close button", "window system", "destroyed"}) {
            PedalSim::reset();
            auto w = openWindow();
            if (how[0] == 'c')
                QTest::mouseClick(widget(*w, "pbClose"), Qt::LeftButton);
            else if (how[0] == 'w')
                QVERIFY(w->close());
            else
                w.reset();
            QVERIFY2(!w || (!w->isVisible() && !w->session().reader().isRunning()), how);
            QCOMPARE(PedalSim::openHandles(), 0);
        }
    }

    void everySampleTrackedNewestShown() {
        auto w = openWindow();
        const auto& range = w->session().calibration().extremes();
        QSignalSpy brakeBar(widget<QProgressBar>(*w, "pgAdc1"), &QProgressBar::valueChanged);
        // A burst with its extremes in the middle: all tracked, nothing shown sample by sample.
        for (int i = 0; i < 500; ++i) {
            const int brake = i == 137 ? 0 : i == 301 ? 65535 : 20000 + i;
            feed(*w, quint16(1000 + i), quint16(brake), 40000);
        }
        QCOMPARE(range, (std::array<quint16, 6>{1000, 1499, 0, 65535, 40000, 40000}));
        // Then one refresh with the newest values, on hidden widgets too.
        widget(*w, "pgAdc0")->hide();
        QTRY_COMPARE(shown(*w), "1499 20499 40000 1499 20499 40000 1499 20499 40000");
        QCOMPARE(brakeBar.count(), 1);

        const QByteArray tooShort = QByteArray::fromHex("0100FFFF00"); // ignored
        w->onJoystickEvent(tooShort);
        QCOMPARE(range[0], quint16(1000));
        // After a quiet spell a lone sample is on screen at the next turn of the event loop.
        QTest::qWait(20);
        feed(*w, 7, 8, 9);
        QCoreApplication::processEvents();
        QCOMPARE(shown(*w), "7 8 9 7 8 9 7 8 9");
    }

    void burstThroughTheReader() {
        auto w = openWindow();
        // As many as the host holds: the reader forwards each one, in order.
        for (int i = 0; i < PedalSim::HOST_INPUT_BUFFER; ++i)
            PedalSim::pushInput(quint16(3000 - i), quint16(i == 10 ? 12 : 5000 + i),
                                quint16(i == 40 ? 65000 : 60000 - i));
        QTRY_COMPARE(shown(*w), "2937 5063 59937 2937 5063 59937 2937 5063 59937");
        QCOMPARE(w->session().calibration().extremes(),
                 (std::array<quint16, 6>{2937, 3000, 12, 5063, 59937, 65000}));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
