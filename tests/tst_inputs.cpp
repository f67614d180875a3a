// Deadzones, clutch mode and calibration on the virtual pedal set, asserting the wire.
#include "tests/windowfixture.h"

#include "device/protocol.h"
#include "inputs/vexoslider.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

using PedalSim::Block;

namespace {

constexpr quint8 PEDAL_MODE = 0x07;

int tagValue(QWidget& w, const char* name) {
    return widget<VexoSlider>(w, name)->value();
}

QRect barGeometry(QWidget& w, int axis) {
    return widget(w, qPrintable(QStringLiteral("pgAdc%1").arg(axis)))->geometry();
}

// The block report as the device would get it: header, mark and six values.
QString blockHex(quint8 which, quint8 mark, const Block& values) {
    QByteArray b = QByteArray::fromHex("0205");
    b.append(char(which)).append(char(1)).append(char(mark));
    for (quint16 v : values)
        b.append(char(v & 0xFF)).append(char(v >> 8));
    b.append(QByteArray(20 - b.size(), '\0'));
    return PedalSim::hex(b);
}

void pushSamples(std::initializer_list<std::array<quint16, 3>> samples) {
    for (const auto& s : samples)
        PedalSim::pushInput(s[0], s[1], s[2]);
}

} // namespace

class TestInputs : public QObject {
    Q_OBJECT

private slots:
    void init() { freshPedalSet(); }

    void cleanup() { checkDeviceUse(); }

    void deadzonesAtConnection() {
        PedalSim::setBlock(1, {0, 65535, 3277, 62258, 13762, 51773});
        auto w = openWindow();
        QCOMPARE(tagValue(*w, "lbDzL0"), 0);
        QCOMPARE(tagValue(*w, "lbDzR0"), 0);
        QCOMPARE(tagValue(*w, "lbDzL1"), 5);
        QCOMPARE(tagValue(*w, "lbDzR1"), 5);
        QCOMPARE(tagValue(*w, "lbDzL2"), 21);
        QCOMPARE(tagValue(*w, "lbDzR2"), 21);
        QCOMPARE(barGeometry(*w, 0), QRect(38, 365, 200, 12));
        QCOMPARE(barGeometry(*w, 1), QRect(270, 365, 180, 12));
        QCOMPARE(barGeometry(*w, 2), QRect(525, 365, 116, 12));

        // 3 % low and 4 % high: 6 pixels in, 186 wide.
        PedalSim::setBlock(1, {1966, 62914, 0, 65535, 0, 65535});
        w.reset();
        w = openWindow();
        QCOMPARE(barGeometry(*w, 0), QRect(44, 365, 186, 12));
    }

    void overlappingDeadzonesShowNoBar() {
        // 60 % low and 50 % high on the brake: nothing of the axis is active.
        PedalSim::setBlock(1, {0, 65535, 39321, 32768, 0, 65535});
        auto w = openWindow();
        QCOMPARE(tagValue(*w, "lbDzL1"), 60);
        QCOMPARE(tagValue(*w, "lbDzR1"), 50);
        QCOMPARE(barGeometry(*w, 1).width(), 0);
        QVERIFY(barGeometry(*w, 1).x() >= 260);
    }

    void deadzoneWrites() {
        auto w = openWindow();
        PedalSim::clearLog();

        // A lower tag dragged 40 pixels: 20 %, 13107 (0x3333).
        dragTag(widget<VexoSlider>(*w, "lbDzL1"), 40);
        QCOMPARE(sentHex(), (QStringList{blockHex(1, 0xEF, {0, 65535, 13107, 65535, 0, 65535}),
                                         reportHex("020B0501")}));
        QCOMPARE(PedalSim::keptBlock(1), (Block{0, 65535, 13107, 65535, 0, 65535}));
        QCOMPARE(tagValue(*w, "lbDzL1"), 20);
        QCOMPARE(barGeometry(*w, 1), QRect(300, 365, 160, 12));

        // An upper tag at 20 %: 52428 (0xCCCC).
        PedalSim::clearLog();
        dragTag(widget<VexoSlider>(*w, "lbDzR2"), -40);
        QCOMPARE(sentHex().first(), blockHex(1, 0xEF, {0, 65535, 13107, 65535, 0, 52428}));

        // A release without a move still writes (unchanged values) and reloads.
        PedalSim::clearLog();
        dragTag(widget<VexoSlider>(*w, "lbDzL0"), 0);
        QCOMPARE(sentHex(), (QStringList{blockHex(1, 0xEF, {0, 65535, 13107, 65535, 0, 52428}),
                                         reportHex("020B0501")}));
    }

    void disabledClutchDeadzones() {
        PedalSim::setSetting(PEDAL_MODE, 0);
        PedalSim::setBlock(1, {6554, 58982, 0, 65535, 0, 65535});
        auto w = openWindow();
        QVERIFY(widget(*w, "lbDzL0")->isHidden());
        // The clutch tags keep their places on load.
        QCOMPARE(tagValue(*w, "lbDzL0"), 0);
        QCOMPARE(tagValue(*w, "lbDzR0"), 0);
        widget<VexoSlider>(*w, "lbDzL0")->setValue(7);

        PedalSim::clearLog();
        dragTag(widget<VexoSlider>(*w, "lbDzL2"), 10);
        QCOMPARE(sentHex().first(), blockHex(1, 0xEF, {0, 65535, 0, 65535, 3277, 65535}));
        QCOMPARE(tagValue(*w, "lbDzL0"), 7);
    }

    void clutchMode() {
        auto w = openWindow();
        auto* box = widget<QCheckBox>(*w, "cbClutch");
        const char* clutchWidgets[] = {"lbAdc0",    "lbAdcB0", "pgAdc0", "cbPro0",
                                       "pgCal0",    "pbSave0", "ctAdc0", "pbSavePro0",
                                       "pbDelPro0", "lbDzL0",  "lbDzR0"};
        QVERIFY(box->isChecked());
        for (const char* name : clutchWidgets)
            QVERIFY2(!widget(*w, name)->isHidden(), name);
        QVERIFY(widget(*w, "lbMain1")->styleSheet().contains("back2.png"));
        QVERIFY(widget(*w, "lbMain2")->styleSheet().contains("back2.png"));

        PedalSim::clearLog();
        QTest::ignoreMessage(QtDebugMsg, "deviceSettingWrite VEXIE_PEDAL_MODE");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QVERIFY(!box->isChecked());
        QCOMPARE(sentHex(), (QStringList{reportHex("020B0C07"), reportHex("020C0700000000EF")}));
        QCOMPARE(PedalSim::keptSetting(PEDAL_MODE), 0u);
        for (const char* name : clutchWidgets)
            QVERIFY2(widget(*w, name)->isHidden(), name);
        QVERIFY(!widget(*w, "label_6")->isHidden()); // the column title stays
        QVERIFY(widget(*w, "lbMain1")->styleSheet().contains("back.png"));
        QVERIFY(widget(*w, "lbMain2")->styleSheet().contains("back.png"));

        // The device already holds the new value: nothing is written.
        PedalSim::setSetting(PEDAL_MODE, 1);
        PedalSim::clearLog();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QVERIFY(box->isChecked());
        QCOMPARE(sentHex(), (QStringList{reportHex("020B0C07")}));

        // A write the device does not take: the box goes back at once, before the
        // reconnect reads the mode again, and the device keeps its own.
        PedalSim::clearLog();
        PedalSim::failSend(2);
        QTest::ignoreMessage(QtDebugMsg, "deviceSettingWrite VEXIE_PEDAL_MODE");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QVERIFY(box->isChecked());
        QVERIFY(!widget(*w, "pbSave0")->isHidden());
        QCOMPARE(PedalSim::keptSetting(PEDAL_MODE), 1u);
        // The reconnect queries the mode a second time.
        QTRY_COMPARE(sentHex().count(reportHex("020B0C07")), 2);
        QTRY_COMPARE(headText(*w), QStringLiteral("VEXO PX7"));
        QVERIFY(box->isChecked());

        // The next connection follows the device.
        PedalSim::setSetting(PEDAL_MODE, 0);
        w.reset();
        w = openWindow();
        QVERIFY(!widget<QCheckBox>(*w, "cbClutch")->isChecked());
        QVERIFY(widget(*w, "pbSave0")->isHidden());
    }

    void calibrateThrottleAndBrake() {
        auto w = openWindow();
        const Block calibration = PedalSim::block(0);
        const Block deadzones{0, 65535, 3277, 62258, 13762, 51773};
        PedalSim::setBlock(1, deadzones);
        auto* save = widget<QPushButton>(*w, "pbSave2");

        PedalSim::clearLog();
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(save->text(), QStringLiteral("SAVE"));
        Block fullRange = calibration;
        fullRange[4] = 0;
        fullRange[5] = 65535;
        Block fullDeadzones = deadzones;
        fullDeadzones[4] = 0;
        fullDeadzones[5] = 65535;
        QCOMPARE(sentHex(),
                 (QStringList{reportHex("020B0500"), reportHex("020B0501"),
                              blockHex(0, 0x00, fullRange), blockHex(1, 0x00, fullDeadzones)}));
        // Not marked: the device applies but does not keep the full range.
        QCOMPARE(PedalSim::keptBlock(0), calibration);

        pushSamples({{1, 500, 100}}); // before the reset: must not count
        QTest::qWait(700);
        pushSamples({{9, 40000, 5000}, {9, 40000, 2100}, {9, 40000, 61000}, {9, 40000, 30000}});
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc2")->text(), QStringLiteral("30000"));

        PedalSim::clearLog();
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(save->text(), QStringLiteral("CALIBRATE"));
        Block stored = fullRange;
        stored[4] = 3100;
        stored[5] = 61000;
        QCOMPARE(sentHex(), (QStringList{reportHex("020B0500"), reportHex("020B0501"),
                                         blockHex(0, 0xEF, stored),
                                         blockHex(1, 0xEF, fullDeadzones), reportHex("020B0501")}));
        // Everything but the throttle's pair comes back as the device had it.
        Block expected = calibration;
        expected[4] = 3100;
        expected[5] = 61000;
        QCOMPARE(PedalSim::keptBlock(0), expected);
        QCOMPARE(PedalSim::keptBlock(1), fullDeadzones);
        QCOMPARE(tagValue(*w, "lbDzL2"), 0);
        QCOMPARE(tagValue(*w, "lbDzR2"), 0);
        QCOMPARE(tagValue(*w, "lbDzL1"), 5);

        // The brake stores its measured low without a margin.
        auto* brake = widget<QPushButton>(*w, "pbSave1");
        QTest::mouseClick(brake, Qt::LeftButton);
        QTest::qWait(700);
        pushSamples({{9, 2100, 9}, {9, 60000, 9}});
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc1")->text(), QStringLiteral("60000"));
        QTest::mouseClick(brake, Qt::LeftButton);
        QCOMPARE(PedalSim::keptBlock(0)[2], quint16(2100));
        QCOMPARE(PedalSim::keptBlock(0)[3], quint16(60000));
    }

    void calibrationRules() {
        auto w = openWindow();
        auto* clutch = widget<QPushButton>(*w, "pbSave0");
        auto* throttle = widget<QPushButton>(*w, "pbSave2");

        // One axis at a time.
        QTest::mouseClick(clutch, Qt::LeftButton);
        PedalSim::clearLog();
        {
            MessageBoxAnswerer answerer;
            QTest::mouseClick(throttle, Qt::LeftButton);
            QCOMPARE(answerer.seen,
                     QStringList{"Notify|Please save other channel calibrate first."});
        }
        QCOMPARE(throttle->text(), QStringLiteral("CALIBRATE"));
        QVERIFY(PedalSim::sentReports().empty());

        // SAVE with nothing measured since the reset, then with the pedal never moved:
        // refused, the measurement goes on, and the device keeps its calibration.
        QTest::qWait(700);
        const Block kept = PedalSim::keptBlock(0);
        for (int round = 0; round < 2; ++round) {
            if (round == 1) {
                pushSamples({{65000, 1, 1}, {65000, 1, 1}});
                QTRY_COMPARE(widget<QLabel>(*w, "lbAdc0")->text(), QStringLiteral("65000"));
            }
            MessageBoxAnswerer answerer;
            PedalSim::clearLog();
            QTest::mouseClick(clutch, Qt::LeftButton);
            QCOMPARE(answerer.seen,
                     QStringList{"Notify|No pedal movement was measured. Please move the pedal "
                                 "through its whole travel, then press SAVE."});
            QCOMPARE(clutch->text(), QStringLiteral("SAVE"));
            QVERIFY(PedalSim::sentReports().empty());
            QCOMPARE(PedalSim::keptBlock(0), kept);
        }

        // A rest position near the top: low + 1000 would wrap, 65535 is stored.
        pushSamples({{64900, 1, 1}, {65100, 1, 1}});
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc0")->text(), QStringLiteral("65100"));
        QTest::mouseClick(clutch, Qt::LeftButton);
        QCOMPARE(PedalSim::keptBlock(0)[0], quint16(65535));
        QCOMPARE(PedalSim::keptBlock(0)[1], quint16(65100));

        // A sender that names no axis is ignored.
        QPushButton stranger(QStringLiteral("x"), w.get());
        stranger.setObjectName(QStringLiteral("pbSaveX"));
        QObject::connect(&stranger, SIGNAL(clicked(bool)), w.get(), SLOT(onCalibrateSave()));
        PedalSim::clearLog();
        stranger.click();
        QVERIFY(PedalSim::sentReports().empty());

        // A reconnection abandons a running calibration on the screen.
        QTest::mouseClick(throttle, Qt::LeftButton);
        QCOMPARE(throttle->text(), QStringLiteral("SAVE"));
        PedalSim::failInputRead(1);
        QTRY_COMPARE(throttle->text(), QStringLiteral("CALIBRATE"));
    }

    // Turning the clutch off ends its calibration: the button is hidden, so the run would
    // block the other axes; the clutch gets back the limits it had.
    void clutchOffEndsItsCalibration() {
        PedalSim::setSetting(PEDAL_MODE, 1);
        const Block calibration = PedalSim::block(0);
        auto w = openWindow();
        auto* clutch = widget<QPushButton>(*w, "pbSave0");
        auto* brake = widget<QPushButton>(*w, "pbSave1");
        widget<QPushButton>(*w, "pbS2")->click();
        QTest::mouseClick(clutch, Qt::LeftButton);
        QCOMPARE(clutch->text(), QStringLiteral("SAVE"));
        QCOMPARE(PedalSim::block(0)[1], quint16(65535));
        widget<QPushButton>(*w, "pbS1")->click();
        auto* box = widget<QCheckBox>(*w, "cbClutch");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QCOMPARE(clutch->text(), QStringLiteral("CALIBRATE"));
        QCOMPARE(PedalSim::block(0), calibration);
        widget<QPushButton>(*w, "pbS2")->click();
        MessageBoxAnswerer answerer;
        QTest::mouseClick(brake, Qt::LeftButton);
        QCOMPARE(answerer.seen, QStringList());
        QCOMPARE(brake->text(), QStringLiteral("SAVE"));
    }

    void noDevice() {
        // Without a device the deadzone release and a clutch click send nothing.
        auto w = openWindow();
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        PedalSim::clearLog();
        dragTag(widget<VexoSlider>(*w, "lbDzL1"), 10);
        QTest::ignoreMessage(QtDebugMsg, "deviceSettingWrite VEXIE_PEDAL_MODE");
        auto* box = widget<QCheckBox>(*w, "cbClutch");
        box->setChecked(false);
        box->click();
        QVERIFY(PedalSim::log().empty());
        // No reply is not a block of zeros: the upper tags do not jump to 100 %.
        QCOMPARE(tagValue(*w, "lbDzR1"), 0);
        QCOMPARE(tagValue(*w, "lbDzR2"), 0);
    }
};

QTEST_MAIN(TestInputs)
#include "tst_inputs.moc"
