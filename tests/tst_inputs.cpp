// The INPUTS and CALIBRATION pages' wiring; the rules themselves are tested in tst_pedalcore.
#include "tests/windowfixture.h"

namespace {

const QString TAGS = "lbDzL0 lbDzR0 lbDzL1 lbDzR1 lbDzL2 lbDzR2";

// Separated by spaces: a tag's value, a bar's left edge and width, another widget's text.
QString shown(QWidget& w, const QString& names) {
    QStringList out;
    for (const QString& name : names.split(' ')) {
        QWidget* x = widget(w, qPrintable(name));
        if (auto* tag = qobject_cast<VexoSlider*>(x))
            out << QString::number(tag->value());
        else if (name.startsWith("pg"))
            out << QString("%1+%2").arg(x->x()).arg(x->width());
        else
            out << x->property("text").toString();
    }
    return out.join(' ');
}

} // namespace

class TestInputs : public QObject {
    Q_OBJECT

private slots:
    void init() { freshPedalSet(); }
    void cleanup() { checkDeviceUse(); }

    void deadzoneTagsAndBars() {
        PedalSim::setBlock(1, {1966, 62914, 39321, 32768, 13762, 51773}); // brake: 60 + 50 %
        auto w = openWindow();
        QCOMPARE(shown(*w, TAGS + " pgAdc0 pgAdc1 pgAdc2"), "3 4 60 50 21 21 44+186 380+0 525+116");
        PedalSim::clearLog();
        dragTag(widget<VexoSlider>(*w, "lbDzL0"), 20); // to 13 %: all six written, then read
        QCOMPARE(sentHex(), (QStringList{reportHex("02050101EF4821C2F599990080C2353DCA"),
                                         reportHex("020B0501")}));
        QCOMPARE(shown(*w, "pgAdc0"), "64+166");
    }

    // Turning the clutch off hides its column and ends its calibration, freeing the other axes.
    void clutchOffEndsItsCalibration() {
        const PedalSim::Block calibration = PedalSim::block(0);
        auto w = openWindow();
        QCOMPARE(widget(*w, "lbMain1")->styleSheet(), "border-image: url(:/img/back2.png)");
        QTest::mouseClick(widget(*w, "pbSave0"), Qt::LeftButton);
        QCOMPARE(shown(*w, "pbSave0 pbSave1 pbSave2"), "SAVE CALIBRATE CALIBRATE");
        PedalSim::clearLog();
        QTest::ignoreMessage(QtDebugMsg, "deviceSettingWrite VEXIE_PEDAL_MODE");
        QTest::mouseClick(widget(*w, "cbClutch"), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(sentHex().mid(0, 2),
                 (QStringList{reportHex("020B0C07"), reportHex("020C0700000000EF")}));
        QVERIFY(!widget(*w, "cbClutch")->property("checked").toBool());
        for (const char* name : {"lbAdc0", "lbAdcB0", "pgAdc0", "cbPro0", "pgCal0", "pbSave0",
                                 "ctAdc0", "pbSavePro0", "pbDelPro0", "lbDzL0", "lbDzR0"})
            QVERIFY2(widget(*w, name)->isHidden(), name);
        QCOMPARE(widget(*w, "lbMain2")->styleSheet(), "border-image: url(:/img/back.png)");
        QCOMPARE(PedalSim::block(0), calibration);
        QTest::mouseClick(widget(*w, "pbSave1"), Qt::LeftButton); // no box: cleanup checks
        QCOMPARE(shown(*w, "pbSave0 pbSave1 pbSave2"), "CALIBRATE SAVE CALIBRATE");
    }

    void calibrationButtons() {
        PedalSim::setBlock(1, {0, 65535, 0, 65535, 13762, 51773});
        WindowOptions options = testOptions();
        options.calibrationSettleMs = 0;
        auto w = openWindow(options);
        MessageBoxAnswerer boxes;
        PedalSim::pushInput(9, 9, 100); // before the run: does not count
        QTRY_COMPARE(shown(*w, "lbAdc2"), "100");
        QTest::mouseClick(widget(*w, "pbSave2"), Qt::LeftButton);
        QTest::mouseClick(widget(*w, "pbSave2"), Qt::LeftButton); // nothing measured yet
        QTest::mouseClick(widget(*w, "pbSave1"), Qt::LeftButton);
        QCOMPARE(boxes.seen, (QStringList{"Notify|No pedal movement was measured. Please move the "
                                          "pedal through its whole travel, then press SAVE.",
                                          "Notify|Please save other channel calibrate first."}));
        QCOMPARE(shown(*w, "pbSave0 pbSave1 pbSave2"), "CALIBRATE CALIBRATE SAVE");
        PedalSim::pushInput(9, 9, 2100);
        PedalSim::pushInput(9, 9, 61000);
        QTRY_COMPARE(shown(*w, "lbAdc2"), "61000");
        QTest::mouseClick(widget(*w, "pbSave2"), Qt::LeftButton);
        QCOMPARE(PedalSim::keptBlock(0)[4], quint16(3100));
        QCOMPARE(shown(*w, "pbSave0 pbSave1 pbSave2 " + TAGS),
                 "CALIBRATE CALIBRATE CALIBRATE 0 0 0 0 0 0");
    }
};

QTEST_MAIN(TestInputs)
#include "tst_inputs.moc"
