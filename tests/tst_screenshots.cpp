// Pictures of the five pages as the frameless window shows them, written next to the test
// binary under screenshots/ for review; each must be a full, non-blank window.
#include "ui_mainwindow.h"

#include "tests/windowfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <set>

class TestScreenshots : public QObject {
    Q_OBJECT

private slots:
    void pages() {
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);

        // What the window's constructor does to the form before it is first shown: combo
        // texts centred, and each deadzone tag's form position made its 0 % home. With no
        // deadzone the input bars keep the full track the form gives them.
        for (QComboBox* combo : {ui.cbPro0, ui.cbPro1, ui.cbPro2})
            combo->lineEdit()->setAlignment(Qt::AlignCenter);
        for (VexoSlider* tag : {ui.lbDzL0, ui.lbDzL1, ui.lbDzL2})
            tag->setSide(0);
        for (VexoSlider* tag : {ui.lbDzR0, ui.lbDzR1, ui.lbDzR2})
            tag->setSide(1);
        ui.lbVersion->setText("Firmware Version:V1.0");

        window.setWindowFlags(Qt::FramelessWindowHint);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
        QVERIFY(QDir().mkpath(dir));
        const char* files[] = {"page1-inputs", "page2-calibration", "page3-profiles",
                               "page4-device", "page5-about"};
        QPushButton* sidebar[] = {ui.pbS1, ui.pbS2, ui.pbS3, ui.pbS4, ui.pbS5};
        QList<QImage> shots;
        for (int page = 0; page < 5; ++page) {
            for (int b = 0; b < 5; ++b)
                sidebar[b]->setChecked(b == page);
            ui.stackedWidget->setCurrentIndex(page);
            QCoreApplication::processEvents();

            const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY(shot.save(dir + '/' + files[page] + ".png"));
            QCOMPARE(shot.size(), QSize(900, 500));
            std::set<QRgb> colours;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    colours.insert(shot.pixel(x, y));
            QVERIFY2(colours.size() > 64, files[page]);
            if (page == 0) // the blue chunk of each input bar shows above its white track
                for (QProgressBar* bar : {ui.pgAdc0, ui.pgAdc1, ui.pgAdc2}) {
                    const QPoint inChunk = bar->mapTo(&window, QPoint(4, bar->height() / 2));
                    QCOMPARE(QColor(shot.pixel(inChunk)), QColor(0, 117, 190));
                }
            for (const QImage& earlier : shots)
                QVERIFY2(shot != earlier, files[page]);
            shots << shot;
        }
    }

    // The program itself on the virtual pedal set, as a user sees it: these are the
    // pictures the README shows (scripts/update-screenshots.sh copies them).
    void connectedProgram() {
        DeviceHandle::close();
        PedalSim::reset();
        PedalSim::setVersionText("\tMar  4 2023,09:15");
        PedalSim::setBlock(1,
                           {0, 65535, 3277, 62258, 1966, 64880}); // brake 5 %, throttle 3 % / 1 %
        PedalSim::setProfile(3, "RACE", 2, {8, 22, 45, 72, 95});
        PedalSim::setProfile(4, "DRIFT", 3, {30, 52, 68, 80, 90});
        PedalSim::setSetting(0x0F, 0xEF040300); // brake RACE, throttle DRIFT, kept
        auto w = openWindow();
        PedalSim::pushInput(12000, 41000, 23000);
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc1")->text(), QStringLiteral("41000"));

        const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
        QVERIFY(QDir().mkpath(dir));
        const char* files[] = {"program-1-inputs", "program-2-calibration", "program-3-profiles",
                               "program-4-device", "program-5-about"};
        const char* sidebar[] = {"pbS1", "pbS2", "pbS3", "pbS4", "pbS5"};
        for (int page = 0; page < 5; ++page) {
            QTest::mouseClick(widget<QPushButton>(*w, sidebar[page]), Qt::LeftButton);
            QCOMPARE(pageIndex(*w), page);
            QTest::qWait(50);
            const QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(shot.size(), QSize(900, 500));
            QVERIFY(shot.save(dir + '/' + files[page] + ".png"));
        }
        // What the shots must show: the device's state, not the form's defaults.
        QCOMPARE(widget<QComboBox>(*w, "cbPro1")->currentText(), QStringLiteral("RACE"));
        QCOMPARE(widget<QComboBox>(*w, "cbPro2")->currentText(), QStringLiteral("DRIFT"));
        QCOMPARE(headText(*w), QStringLiteral("VEXO PX7"));
    }
};

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
