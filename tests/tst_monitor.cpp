// The live input path at pedal rates: every sample is tracked for the calibration while the
// screen shows the newest values; and the streaming virtual pedal set the benchmarks use.
#include "tests/windowfixture.h"

#include <QImage>
#include <QPixmapCache>
#include <QProgressBar>
#include <QSignalSpy>

#include <hidapi.h>

#include <algorithm>

namespace {

QByteArray sample(quint16 clutch, quint16 brake, quint16 throttle) {
    QByteArray s(6, '\0');
    const quint16 v[] = {clutch, brake, throttle};
    for (int a = 0; a < 3; ++a) {
        s[2 * a] = char(v[a] & 0xFF);
        s[2 * a + 1] = char(v[a] >> 8);
    }
    return s;
}

quint16 value(const QByteArray& report, int axis) {
    return quint16(quint8(report[1 + 2 * axis]) | (quint8(report[2 + 2 * axis]) << 8));
}

QString labelText(QWidget& w, int axis) {
    return widget<QLabel>(w, qPrintable(QStringLiteral("lbAdc%1").arg(axis)))->text();
}

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT

private slots:
    void init() { freshPedalSet(); }

    void cleanup() {
        PedalSim::stopStream();
        checkDeviceUse();
    }

    void everySampleTrackedNewestShown() {
        auto w = openWindow();
        const auto& range = w->calibration().extremes();
        QTest::qWait(50); // the first frame is shown
        QSignalSpy brakeBar(widget<QProgressBar>(*w, "pgAdc1"), &QProgressBar::valueChanged);
        QSignalSpy brakeCalBar(widget<QProgressBar>(*w, "pgCal1"), &QProgressBar::valueChanged);
        const QString before = labelText(*w, 1);

        // A burst as the reader hands it over: the extremes sit in the middle of it.
        for (int i = 0; i < 500; ++i) {
            const auto brake = quint16(i == 137 ? 0 : i == 301 ? 65535 : 20000 + i);
            QMetaObject::invokeMethod(w.get(), "onJoystickEvent",
                                      Q_ARG(QByteArray, sample(quint16(1000 + i), brake, 40000)));
        }
        QCOMPARE(range, (std::array<quint16, 6>{1000, 1499, 0, 65535, 40000, 40000}));
        // Nothing was repainted sample by sample.
        QCOMPARE(labelText(*w, 1), before);
        QCOMPARE(brakeBar.count(), 0);

        // One refresh shows the newest values everywhere, hidden widgets included.
        widget(*w, "pgAdc0")->hide();
        QTRY_COMPARE(labelText(*w, 1), QStringLiteral("20499"));
        QCOMPARE(labelText(*w, 0), QStringLiteral("1499"));
        QCOMPARE(labelText(*w, 2), QStringLiteral("40000"));
        QCOMPARE(widget<QProgressBar>(*w, "pgAdc0")->value(), 1499);
        QCOMPARE(widget<QProgressBar>(*w, "pgCal0")->value(), 1499);
        QCOMPARE(widget<QProgressBar>(*w, "pgAdc2")->value(), 40000);
        QCOMPARE(widget<QProgressBar>(*w, "pgCal2")->value(), 40000);
        QCOMPARE(brakeBar.count(), 1);
        QCOMPARE(brakeCalBar.count(), 1);
        QCOMPARE(brakeCalBar.first().first().toInt(), 20499);

        // A short sample is ignored: no tracking, nothing shown.
        QMetaObject::invokeMethod(w.get(), "onJoystickEvent",
                                  Q_ARG(QByteArray, QByteArray::fromHex("0100FFFF00")));
        QTest::qWait(40);
        QCOMPARE(range[0], quint16(1000));
        QCOMPARE(labelText(*w, 0), QStringLiteral("1499"));

        // A lone sample after a quiet spell is on screen after one turn of the event loop.
        QMetaObject::invokeMethod(w.get(), "onJoystickEvent", Q_ARG(QByteArray, sample(7, 8, 9)));
        QCoreApplication::processEvents();
        QCOMPARE(labelText(*w, 2), QStringLiteral("9"));
        QCOMPARE(range[0], quint16(7));
    }

    void burstThroughTheReader() {
        auto w = openWindow();
        const auto& range = w->calibration().extremes();
        const long long delivered = PedalSim::inputsDelivered();
        // Up to what the host buffers; the reader forwards each one.
        for (int i = 0; i < PedalSim::HOST_INPUT_BUFFER; ++i)
            PedalSim::pushInput(quint16(3000 - i), quint16(i == 10 ? 12 : 5000 + i),
                                quint16(i == 40 ? 65000 : 60000 - i));
        QTRY_COMPARE(PedalSim::inputsDelivered() - delivered, qint64(PedalSim::HOST_INPUT_BUFFER));
        QTRY_COMPARE(labelText(*w, 0), QStringLiteral("2937"));
        QCOMPARE(labelText(*w, 1), QStringLiteral("5063"));
        QCOMPARE(labelText(*w, 2), QStringLiteral("59937"));
        QCOMPARE(range, (std::array<quint16, 6>{2937, 3000, 12, 5063, 59937, 65000}));
    }

    void hostBufferKeepsTheNewest() {
        hid_device* dev = hid_open(0xC872, 0x2020, nullptr);
        QVERIFY(dev);
        const int extra = 6;
        for (int i = 0; i < PedalSim::HOST_INPUT_BUFFER + extra; ++i)
            PedalSim::pushInput(quint16(i), 0, 0);
        QCOMPARE(PedalSim::pendingInputs(), PedalSim::HOST_INPUT_BUFFER);
        QCOMPARE(PedalSim::inputsOverwritten(), qint64(extra));
        unsigned char report[17] = {};
        QCOMPARE(hid_read(dev, report, sizeof report), 17);
        QCOMPARE(int(report[1]), extra); // the oldest ones were pushed out
        hid_close(dev);
    }

    void streamAtRate() {
        const int rate = 4000;
        hid_device* dev = hid_open(0xC872, 0x2020, nullptr);
        QVERIFY(dev);
        hid_set_nonblocking(dev, 1);
        PedalSim::startStream(rate);
        QTRY_VERIFY(PedalSim::streamStats().produced > 3 * PedalSim::HOST_INPUT_BUFFER);
        PedalSim::stopStream();
        const PedalSim::StreamStats stats = PedalSim::streamStats();
        QTest::qWait(20);
        QCOMPARE(PedalSim::streamStats().produced, stats.produced); // it has stopped

        // Nobody read: the host buffer filled and kept the newest reports.
        QCOMPARE(stats.deepestQueue, PedalSim::HOST_INPUT_BUFFER);
        QCOMPARE(stats.dropped, stats.produced - PedalSim::HOST_INPUT_BUFFER);
        QCOMPARE(stats.delivered, 0);
        std::array<quint16, 6> extremes{65535, 0, 65535, 0, 65535, 0};
        for (long long i = 0; i < stats.produced; ++i) {
            const QByteArray r = PedalSim::streamReport(i, rate);
            for (int a = 0; a < 3; ++a) {
                extremes[2 * a] = std::min(extremes[2 * a], value(r, a));
                extremes[2 * a + 1] = std::max(extremes[2 * a + 1], value(r, a));
            }
        }
        QCOMPARE(stats.extremes, extremes);

        for (int i = 0; i < PedalSim::HOST_INPUT_BUFFER; ++i) {
            unsigned char report[17] = {};
            QCOMPARE(hid_read(dev, report, sizeof report), 17);
            const long long index = stats.produced - PedalSim::HOST_INPUT_BUFFER + i;
            QCOMPARE(QByteArray(reinterpret_cast<char*>(report), 17),
                     PedalSim::streamReport(index, rate));
        }
        unsigned char report[17] = {};
        QCOMPARE(hid_read(dev, report, sizeof report), 0);
        QCOMPARE(PedalSim::streamStats().delivered, qint64(PedalSim::HOST_INPUT_BUFFER));
        const auto readable = PedalSim::streamReadableTimes();
        const auto read = PedalSim::streamReadTimes();
        QCOMPARE(int(readable.size()), PedalSim::HOST_INPUT_BUFFER);
        QCOMPARE(int(read.size()), PedalSim::HOST_INPUT_BUFFER);
        QVERIFY(std::is_sorted(readable.begin(), readable.end()));
        for (size_t i = 0; i < read.size(); ++i)
            QVERIFY(read[i] >= readable[i]);
        hid_close(dev);

        // An unplugged pedal set sends nothing.
        PedalSim::unplug();
        PedalSim::startStream(rate);
        QTest::qWait(20);
        PedalSim::stopStream();
        QCOMPARE(PedalSim::streamStats().produced, 0);
    }

    void streamedPedalsMove() {
        // Over a few seconds each pedal travels from its rest to its end and back, within
        // the factory calibration, with a little noise that is the same on every run.
        const int rate = 1000;
        std::array<int, 3> low{65535, 65535, 65535}, high{0, 0, 0};
        for (long long i = 0; i < 6 * rate; ++i) {
            const QByteArray r = PedalSim::streamReport(i, rate);
            QCOMPARE(r.size(), 17);
            QCOMPARE(int(r[0]), 1);
            for (int a = 0; a < 3; ++a) {
                low[a] = std::min<int>(low[a], value(r, a));
                high[a] = std::max<int>(high[a], value(r, a));
            }
        }
        const PedalSim::Block cal = PedalSim::block(0);
        for (int a = 0; a < 3; ++a) {
            const QString what = QStringLiteral("axis %1: %2..%3").arg(a).arg(low[a]).arg(high[a]);
            QVERIFY2(low[a] > cal[2 * a] && low[a] < cal[2 * a] + 400, qPrintable(what));
            QVERIFY2(high[a] < cal[2 * a + 1] && high[a] > cal[2 * a + 1] - 400, qPrintable(what));
        }
        QCOMPARE(PedalSim::streamReport(1234, rate), PedalSim::streamReport(1234, rate));
        QVERIFY(PedalSim::streamReport(1234, rate) != PedalSim::streamReport(1235, rate));
    }

    void pagePicturesDecodeOnce() {
        auto w = openWindow();
        for (const char* path : {":/img/back.png", ":/img/back2.png"}) {
            const QImage picture(QString::fromLatin1(path));
            // Larger than the cache, every label showing it would decode its own copy at
            // every style change; with alpha, Qt would copy it once more on loading.
            QVERIFY2(qint64(QPixmapCache::cacheLimit()) * 1024 >= picture.sizeInBytes(), path);
            QVERIFY2(!picture.hasAlphaChannel(), path);
        }
    }
};

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
