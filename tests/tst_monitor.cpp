// The live inputs: every sample counts for the calibration, the screen shows the newest.
#include "tests/windowfixture.h"

#include <QProgressBar>
#include <QSignalSpy>

namespace {

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
    QMetaObject::invokeMethod(&w, "onJoystickEvent", Q_ARG(QByteArray, sample));
}

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT

private slots:
    void init() { freshPedalSet(); }
    void cleanup() { checkDeviceUse(); }

    void everySampleTrackedNewestShown() {
        auto w = openWindow();
        const auto& range = w->calibration().extremes();
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
        QMetaObject::invokeMethod(w.get(), "onJoystickEvent", Q_ARG(QByteArray, tooShort));
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
        QCOMPARE(w->calibration().extremes(),
                 (std::array<quint16, 6>{2937, 3000, 12, 5063, 59937, 65000}));
    }
};

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
