// The clutch mode, deadzone and calibration rules and the session that owns the pedal set,
// on the virtual pedal set, without the window.
#include "app/pedalsession.h"
#include "device/devicehandle.h"
#include "inputs/calibrationrun.h"
#include "inputs/pedalsettings.h"
#include "sim/pedalsim.h"

#include <QSignalSpy>
#include <QTest>

using Outcome = CalibrationRun::Outcome;
using Change = PedalSettings::ClutchChange;
// Mode held, mode wanted, failing get and send, outcome, the write sent, mode afterwards.
using Mode = std::tuple<quint32, bool, int, int, Change, QString, bool>;
using Deadzones = std::tuple<quint32, int, QString>; // mode, failing get, block values sent
using Limits = std::array<int, 4>;                   // axis, lowest and highest sample, low stored

// The reports sent, each given by its leading bytes, separated by spaces.
static void checkSent(const QString& prefixes) {
    QStringList sent, expected = prefixes.split(' ', Qt::SkipEmptyParts);
    for (const QByteArray& b : PedalSim::sentReports())
        sent << b.toHex().toUpper();
    for (QString& p : expected)
        p = p.leftJustified(2 * Protocol::REPORT_SIZE, '0');
    QCOMPARE(sent, expected);
}

class TestPedalCore : public QObject {
    Q_OBJECT

    PedalSettings settings;

    static void track(CalibrationRun& run, quint16 v) { run.track({v, v, v}); }

    void connectWithMode(quint32 mode, int lostGet = 0, int lostSend = 0) {
        PedalSim::setSetting(Protocol::VEXIE_PEDAL_MODE, mode);
        QVERIFY(settings.readClutchMode());
        PedalSim::clearLog();
        PedalSim::failGet(lostGet);
        PedalSim::failSend(lostSend);
    }

private slots:
    void init() {
        PedalSim::reset();
        QVERIFY(DeviceHandle::open()); // closes the last test's handle
    }

    void setClutchEnabled_data() {
        QTest::addColumn<Mode>("row");
        QTest::newRow("device has it") << Mode{1, true, 0, 0, Change::Unchanged, "", true};
        QTest::newRow("off") << Mode{1, false, 0, 0, Change::Written, "020C0700000000EF", false};
        QTest::newRow("unread") << Mode{0, false, 1, 0, Change::Written, "020C0700000000EF", false};
        QTest::newRow("2 is off, write lost") << Mode{2, true, 0, 2, Change::Failed, "", false};
    }
    void setClutchEnabled() {
        QFETCH(Mode, row);
        const auto [mode, on, lostGet, lostSend, change, write, enabled] = row;
        connectWithMode(mode, lostGet, lostSend);
        QCOMPARE(settings.setClutchEnabled(on), change);
        checkSent("020B0C07 " + write);
        QCOMPARE(settings.clutchEnabled(), enabled);
    }

    // 7 % goes out as 4587 and comes back as 6.9995 %, rounded; a disabled clutch as none.
    void deadzones_data() {
        QTest::addColumn<Deadzones>("row");
        QTest::newRow("clutch on") << Deadzones{1, 0, "EB11C2F53333FFFFAE07CCCC"};
        QTest::newRow("clutch off") << Deadzones{0, 0, "0000FFFF3333FFFFAE07CCCC"};
        QTest::newRow("read-back lost") << Deadzones{1, 1, "EB11C2F53333FFFFAE07CCCC"};
    }
    void deadzones() {
        QFETCH(Deadzones, row);
        const auto [mode, lostGet, values] = row;
        const PedalSettings::Percents wanted{7, 4, 20, 0, 3, 20};
        connectWithMode(mode, lostGet);
        QCOMPARE(settings.writeDeadzones(wanted), !lostGet);
        checkSent("02050101EF" + values + " 020B0501");
        QCOMPARE(settings.deadzones(), wanted);
    }

    void storedLimits_data() {
        QTest::addColumn<Limits>("row");
        QTest::newRow("clutch: rest margin") << Limits{0, 2100, 61000, 3100};
        QTest::newRow("brake: as measured") << Limits{1, 2100, 61000, 2100};
        QTest::newRow("throttle: rest margin") << Limits{2, 2100, 61000, 3100};
        QTest::newRow("rest near the top: no wrap") << Limits{2, 64900, 65100, 65535};
    }
    void storedLimits() {
        QFETCH(Limits, row);
        const auto [axis, low, high, storedLow] = row;
        PedalSim::Block calibration = PedalSim::keptBlock(0);
        PedalSim::Block deadzones{655, 64880, 1311, 62258, 3277, 60000};
        CalibrationRun run;
        QCOMPARE(run.press(axis), Outcome::Started);
        track(run, 1); // before the device measured the full range
        run.settle();
        track(run, low);
        track(run, high);
        PedalSim::setBlock(1, deadzones); // written meanwhile: cleared all the same
        QCOMPARE(run.press(axis), Outcome::Saved);
        std::tie(calibration[2 * axis], calibration[2 * axis + 1]) = std::pair(storedLow, high);
        std::tie(deadzones[2 * axis], deadzones[2 * axis + 1]) = std::pair(0, 65535);
        QCOMPARE(PedalSim::keptBlock(0), calibration);
        QCOMPARE(PedalSim::keptBlock(1), deadzones);
    }

    void runRules() {
        PedalSim::setBlock(1, {655, 64880, 0, 65535, 1311, 65535});
        const PedalSim::Block calibration = PedalSim::block(0), deadzones = PedalSim::block(1);
        CalibrationRun run;
        QCOMPARE(run.press(0), Outcome::Started);
        QCOMPARE(PedalSim::block(0)[0], quint16(0)); // the full range, applied but not kept
        QCOMPARE(PedalSim::keptBlock(0), calibration);
        PedalSim::clearLog();
        track(run, 10); // before the settle, as a double-click is: nothing is saved
        track(run, 20);
        QCOMPARE(run.press(0), Outcome::NothingMeasured); // nothing sent, the run goes on
        QCOMPARE(run.press(1), Outcome::OtherAxisRunning);
        checkSent("");
        QVERIFY(run.cancel()); // the device gets back what it had
        QCOMPARE(PedalSim::block(0), calibration);
        QCOMPARE(PedalSim::block(1), deadzones);
        const CalibrationRun::Extremes measured = run.extremes();
        run.settle(); // the wait outlasted its run
        QCOMPARE(run.extremes(), measured);
        QCOMPARE(run.press(1), Outcome::Started);
        run.abandon(); // reconnected: forgotten, another axis may start
        QCOMPARE(run.press(2), Outcome::Started);
        run.settle();
        PedalSim::failSend(1); // a failed report ends the run
        track(run, 10);
        track(run, 20);
        QCOMPARE(run.press(2), Outcome::LinkFailed);
        QCOMPARE(run.runningAxis(), CalibrationRun::NO_AXIS);
    }

    // The session through a plug-in cycle: its states in order, the refusal told once, one
    // piece of work at a time, no close while busy, and a lost device noticed by the reader.
    void sessionLifecycle() {
        PedalSim::unplug();
        PedalSession::Options options;
        options.readTimeoutMs = 5;
        PedalSession session(options);
        QSignalSpy states(&session, &PedalSession::stateChanged);
        QSignalSpy refusals(&session, &PedalSession::accessRefused);
        session.reconnect();
        QCOMPARE(session.nextAttemptMs(), 3000);
        PedalSim::plug();
        PedalSim::refuseAccess(true);
        session.reconnect();
        session.reconnect();
        PedalSim::refuseAccess(false);
        session.reconnect();
        using State = PedalSession::State;
        QCOMPARE(states, (QList<QVariantList>{{QVariant::fromValue(State::Waiting)},
                                              {QVariant::fromValue(State::NoAccess)},
                                              {QVariant::fromValue(State::NoAccess)},
                                              {QVariant::fromValue(State::Connected)}}));
        QTRY_COMPARE(refusals.size(), 1);
        QVERIFY(session.isConnected() && session.reader().isRunning() &&
                session.nextAttemptMs() == -1 && session.profiles().isComplete());
        QCOMPARE(session.firmwareVersion(), QString::fromLatin1(PedalSim::versionText()));

        {
            const PedalSession::Job import(session, PedalSession::Work::Import);
            const PedalSession::Job save(session, PedalSession::Work::Saving);
            QVERIFY(import && !save && session.busyWith() == PedalSession::Work::Import);
            QVERIFY(!session.close() && session.reader().isRunning());
        }
        QVERIFY(session.busyWith() == PedalSession::Work::None);
        PedalSim::unplug();
        QTRY_COMPARE(states.size(), 5);
        QCOMPARE(states.last(), QVariantList{QVariant::fromValue(State::Waiting)});
        QVERIFY(!session.isConnected() && session.close());
    }
};

QTEST_GUILESS_MAIN(TestPedalCore)
#include "tst_pedalcore.moc"
