// The calibration rules on the virtual pedal set, without the window.
#include "device/devicehandle.h"
#include "inputs/calibrationrun.h"
#include "sim/pedalsim.h"

#include <QTest>

using Outcome = CalibrationRun::Outcome;
using PedalSim::Block;

class TestCalibrationRun : public QObject {
    Q_OBJECT

    static Protocol::AxisValues sample(int axis, quint16 value) {
        Protocol::AxisValues values{30000, 30000, 30000};
        values[axis] = value;
        return values;
    }

private slots:
    void init() {
        DeviceHandle::close();
        PedalSim::reset();
        QVERIFY(DeviceHandle::open());
    }
    void cleanup() {
        DeviceHandle::close();
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
    }

    void storedLimits_data() {
        QTest::addColumn<int>("axis");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("storedLow");
        QTest::newRow("clutch: rest margin") << 0 << 2100 << 61000 << 3100;
        QTest::newRow("brake: as measured") << 1 << 2100 << 61000 << 2100;
        QTest::newRow("throttle: rest margin") << 2 << 2100 << 61000 << 3100;
        QTest::newRow("rest near the top: no wrap") << 2 << 64900 << 65100 << 65535;
    }
    void storedLimits() {
        QFETCH(int, axis);
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, storedLow);
        const Block calibrationBefore = PedalSim::keptBlock(0);
        CalibrationRun run;
        QCOMPARE(run.press(axis), Outcome::Started);
        QCOMPARE(run.runningAxis(), axis);
        run.settle();
        run.track(sample(axis, quint16(low)));
        run.track(sample(axis, quint16(high)));
        QCOMPARE(run.press(axis), Outcome::Saved);
        QCOMPARE(run.runningAxis(), CalibrationRun::NO_AXIS);
        Block expected = calibrationBefore;
        expected[2 * axis] = quint16(storedLow);
        expected[2 * axis + 1] = quint16(high);
        QCOMPARE(PedalSim::keptBlock(0), expected);
        QCOMPARE(PedalSim::keptBlock(1)[2 * axis], quint16(0));
        QCOMPARE(PedalSim::keptBlock(1)[2 * axis + 1], quint16(65535));
    }

    void runRules() {
        CalibrationRun run;
        // Saving with nothing measured since the settle sends nothing and goes on.
        QCOMPARE(run.press(2), Outcome::Started);
        run.settle();
        PedalSim::clearLog();
        QCOMPARE(run.press(2), Outcome::NothingMeasured);
        QVERIFY(PedalSim::sentReports().empty());
        // One axis at a time.
        QCOMPARE(run.press(1), Outcome::OtherAxisRunning);
        QVERIFY(PedalSim::sentReports().empty());
        QCOMPARE(run.runningAxis(), 2);
        // A reconnection forgets the run without a word to the device.
        run.abandon();
        QVERIFY(PedalSim::sentReports().empty());
        QCOMPARE(run.press(1), Outcome::Started);
        // A failed report ends the run.
        PedalSim::failSend(1);
        run.track(sample(1, 10));
        run.track(sample(1, 20));
        QCOMPARE(run.press(1), Outcome::LinkFailed);
        QCOMPARE(run.runningAxis(), CalibrationRun::NO_AXIS);
    }

    void cancelRestoresTheLimits() {
        PedalSim::setBlock(0, {1100, 60000, 2200, 61000, 3300, 62000});
        PedalSim::setBlock(1, {655, 64880, 0, 65535, 1311, 65535});
        const Block calibration = PedalSim::block(0);
        const Block deadzones = PedalSim::block(1);
        CalibrationRun run;
        QCOMPARE(run.press(0), Outcome::Started);
        QCOMPARE(PedalSim::block(0)[0], quint16(0));
        QCOMPARE(PedalSim::block(1)[1], quint16(65535));
        QVERIFY(run.cancel());
        QCOMPARE(run.runningAxis(), CalibrationRun::NO_AXIS);
        QCOMPARE(PedalSim::block(0), calibration);
        QCOMPARE(PedalSim::block(1), deadzones);
        QCOMPARE(PedalSim::keptBlock(0), calibration);
        // Nothing runs any more: another axis may start.
        QCOMPARE(run.press(1), Outcome::Started);
    }
};

QTEST_GUILESS_MAIN(TestCalibrationRun)
#include "tst_calibrationrun.moc"
