// The window's life on the virtual pedal set: waiting, connecting, losing the device,
// navigation, dragging, closing, and the live inputs.
#include "tests/windowfixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

namespace {

// Straight to the window's handlers: the application would round the positions.
void sendMouse(MainWindow& w, QEvent::Type type, QPointF local, QPointF global,
               Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    static_cast<QObject&>(w).event(&event);
}

bool checkedOnly(QWidget& w, const char* name) {
    for (const char* b : {"pbS1", "pbS2", "pbS3", "pbS4", "pbS5"})
        if (widget<QPushButton>(w, b)->isChecked() != (qstrcmp(b, name) == 0))
            return false;
    return true;
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void init() { freshPedalSet(); }

    void cleanup() { checkDeviceUse(); }

    void waitsAndConnects() {
        PedalSim::unplug();
        auto w = openWindow();
        QCOMPARE(pageIndex(*w), 4);
        QTRY_VERIFY(checkedOnly(*w, "pbS5"));
        for (const char* b : {"pbS1", "pbS2", "pbS3", "pbS4"})
            QVERIFY(!widget(*w, b)->isEnabled());
        QVERIFY(widget(*w, "pbS5")->isEnabled());
        QVERIFY(widget(*w, "pbStatus")->isVisible());
        QVERIFY(widget(*w, "lbVersion")->isHidden());
        QCOMPARE(PedalSim::openAttempts(), 1);

        // A new attempt every 3000 ms, and none in between.
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(PedalSim::openAttempts(), 2, 4000);
        QVERIFY2(clock.elapsed() > 2500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QVERIFY(PedalSim::sentReports().empty());

        PedalSim::setVersionText("V3.4\tMar 4 2023:");
        PedalSim::plug();
        QTRY_COMPARE_WITH_TIMEOUT(pageIndex(*w), 0, 4000);
        QCOMPARE(PedalSim::openAttempts(), 3);
        QCOMPARE(headText(*w), QStringLiteral("VEXO PX7"));
        QVERIFY(checkedOnly(*w, "pbS1"));
        for (const char* b : {"pbS1", "pbS2", "pbS3", "pbS4", "pbS5"})
            QVERIFY(widget(*w, b)->isEnabled());
        QVERIFY(widget(*w, "pbStatus")->isHidden());
        QVERIFY(!widget(*w, "lbVersion")->isHidden());
        QCOMPARE(widget<QLabel>(*w, "lbVersion")->text(),
                 QStringLiteral("Firmware Version:V3.4\tMar 4 2023"));
        QVERIFY(w->readerThread().isRunning());
    }

    void connectionReports() {
        PedalSim::setSetting(0x07, 0);
        auto w = openWindow();
        QCOMPARE(sentHex().mid(0, 2), (QStringList{reportHex("020B0900"), reportHex("020B0C07")}));
        QVERIFY(!widget<QCheckBox>(*w, "cbClutch")->isChecked());

        // Only exactly 1 checks the box.
        for (quint32 mode : {1u, 2u}) {
            w.reset();
            PedalSim::reset();
            PedalSim::setSetting(0x07, mode);
            w = openWindow();
            QCOMPARE(widget<QCheckBox>(*w, "cbClutch")->isChecked(), mode == 1);
        }
    }

    void lostDeviceOnEveryPage() {
        auto w = openWindow();
        const char* buttons[] = {"pbS1", "pbS2", "pbS3", "pbS4", "pbS5"};
        for (int page = 0; page < 5; ++page) {
            QTest::mouseClick(widget<QPushButton>(*w, buttons[page]), Qt::LeftButton);
            QCOMPARE(pageIndex(*w), page);
            PedalSim::unplug();
            QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
            QTRY_COMPARE(pageIndex(*w), 4);
            QVERIFY(widget(*w, "lbVersion")->isHidden());
            QVERIFY(!widget(*w, "pbS1")->isEnabled());
            QVERIFY(!DeviceHandle::isOpen());
            PedalSim::plug();
            QTRY_COMPARE_WITH_TIMEOUT(pageIndex(*w), 0, 4000);
        }
    }

    void readErrorWithDevicePresentReconnectsAtOnce() {
        auto w = openWindow();
        const int opens = PedalSim::openCount();
        PedalSim::failInputRead(1);
        // Back within far less than the 3000 ms retry: it never waited.
        QTRY_COMPARE_WITH_TIMEOUT(PedalSim::openCount(), opens + 1, 1000);
        QTRY_VERIFY(w->readerThread().isRunning());
        QCOMPARE(headText(*w), QStringLiteral("VEXO PX7"));
        QVERIFY(widget(*w, "pbStatus")->isHidden());
        QTest::qWait(100);
        QCOMPARE(PedalSim::openCount(), opens + 1); // one reconnect, not a cycle
    }

    void sidebar() {
        auto w = openWindow();
        const char* buttons[] = {"pbS1", "pbS2", "pbS3", "pbS4", "pbS5"};
        for (int page : {2, 4, 1, 3, 0, 0}) {
            QTest::mouseClick(widget<QPushButton>(*w, buttons[page]), Qt::LeftButton);
            QCOMPARE(pageIndex(*w), page);
            QVERIFY2(checkedOnly(*w, buttons[page]), buttons[page]);
        }
    }

    void dragging() {
        auto w = openWindow();
        w->move(100, 100);
        const QPoint start = w->pos();
        const auto press = [&](double y, Qt::MouseButton button, QPointF global) {
            sendMouse(*w, QEvent::MouseButtonPress, QPointF(300, y), global, button, button);
        };
        const auto release = [&] {
            sendMouse(*w, QEvent::MouseButtonRelease, QPointF(300, 10), QPointF(), Qt::LeftButton,
                      Qt::NoButton);
        };

        press(49.4, Qt::LeftButton, QPointF(400, 149.4));
        sendMouse(*w, QEvent::MouseMove, QPointF(310, 60), QPointF(410.9, 170.2), Qt::NoButton,
                  Qt::LeftButton);
        QCOMPARE(w->pos(), start + QPoint(10, 20)); // truncated toward zero
        release();

        press(49.5, Qt::LeftButton, QPointF(400, 149.5));
        press(10, Qt::RightButton, QPointF(400, 110));
        sendMouse(*w, QEvent::MouseMove, QPointF(310, 60), QPointF(500, 300), Qt::NoButton,
                  Qt::RightButton);
        QCOMPARE(w->pos(), start + QPoint(10, 20));

        // A press on a screen left of the primary one: -1 marks "no drag", so no move.
        press(10, Qt::LeftButton, QPointF(-20, 110));
        sendMouse(*w, QEvent::MouseMove, QPointF(310, 60), QPointF(0, 150), Qt::NoButton,
                  Qt::LeftButton);
        QCOMPARE(w->pos(), start + QPoint(10, 20));
        release();
    }

    void closing() {
        // Without a device: no report, the reader is not running, the window closes.
        PedalSim::unplug();
        auto w = openWindow();
        QTest::mouseClick(widget<QPushButton>(*w, "pbClose"), Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QVERIFY(PedalSim::sentReports().empty());

        // Connected, closed by the close button.
        w.reset();
        PedalSim::reset();
        w = openWindow();
        PedalSim::pushInput(1, 2, 3);
        QTest::mouseClick(widget<QPushButton>(*w, "pbClose"), Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QVERIFY(!w->readerThread().isRunning());
        QCOMPARE(PedalSim::openHandles(), 0);

        // Connected, closed by the window system (Alt+F4): just as clean.
        w.reset();
        PedalSim::reset();
        w = openWindow();
        QVERIFY(w->readerThread().isRunning());
        QVERIFY(w->close());
        QVERIFY(!w->readerThread().isRunning());
        QCOMPARE(PedalSim::openHandles(), 0);

        // Destroyed while connected: the reader stops before the handle is closed.
        w.reset();
        PedalSim::reset();
        w = openWindow();
        w.reset();
        QCOMPARE(PedalSim::openHandles(), 0);
    }

    void liveInputs() {
        auto w = openWindow();
        const auto& range = w->calibration().extremes();
        PedalSim::pushRawInput(QByteArray::fromHex("010100FFFF0080"));
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc0")->text(), QStringLiteral("1"));
        QCOMPARE(widget<QLabel>(*w, "lbAdc1")->text(), QStringLiteral("65535"));
        QCOMPARE(widget<QLabel>(*w, "lbAdc2")->text(), QStringLiteral("32768"));
        QCOMPARE(widget<QProgressBar>(*w, "pgAdc1")->value(), 65535);
        QCOMPARE(widget<QProgressBar>(*w, "pgCal1")->value(), 65535);
        QCOMPARE(widget<QProgressBar>(*w, "pgAdc2")->value(), 32768);
        QCOMPARE(widget<QProgressBar>(*w, "pgCal2")->value(), 32768);
        QCOMPARE(widget<QProgressBar>(*w, "pgCal0")->value(), 1);

        for (quint16 brake : {300, 100, 200, 100, 300})
            PedalSim::pushInput(0, brake, 65535);
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc1")->text(), QStringLiteral("300"));
        QCOMPARE(range[2], quint16(100));
        QCOMPARE(range[0], quint16(0));     // 0 can be a low
        QCOMPARE(range[5], quint16(65535)); // 65535 can be a high

        // Hidden widgets still follow the values.
        widget(*w, "lbAdc0")->hide();
        widget(*w, "pgAdc0")->hide();
        PedalSim::pushInput(4242, 1, 1);
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc0")->text(), QStringLiteral("4242"));
        QCOMPARE(range[1], quint16(4242));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
