// The program on the virtual pedal set as a user sees it: a picture of each page, written
// next to the test binary under screenshots/. They are the README's pictures
// (scripts/update-screenshots.sh runs connectedProgram and copies them).
#include "tests/windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProgressBar>

#include <set>

class TestScreenshots : public QObject {
    Q_OBJECT

    // The window with a message box beside it, as the window shows it.
    static bool saveBeside(QWidget& w, QMessageBox& box, const QString& name) {
        box.show();
        const QImage window = w.grab().toImage(), hint = box.grab().toImage();
        QImage shot(window.width() + hint.width() + 20, window.height(), QImage::Format_RGB32);
        shot.fill(Qt::white);
        QPainter painter(&shot);
        painter.drawImage(0, 0, window);
        painter.drawImage(window.width() + 20, (window.height() - hint.height()) / 2, hint);
        painter.end();
        const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
        return QDir().mkpath(dir) && shot.save(dir + "/" + name);
    }

private slots:
    // Each picture is a full window of its own, not blank, with the device's state rather
    // than the form's defaults; each input bar's blue chunk shows above its white track.
    void connectedProgram() {
        freshPedalSet();
        PedalSim::setVersionText("\tMar  4 2023,09:15");
        // Brake 5 %, throttle 3 % and 1 %.
        PedalSim::setBlock(1, {0, 65535, 3277, 62258, 1966, 64880});
        PedalSim::setProfile(3, "RACE", 2, {8, 22, 45, 72, 95});
        PedalSim::setProfile(4, "DRIFT", 3, {30, 52, 68, 80, 90});
        PedalSim::setSetting(0x0F, 0xEF040300); // brake RACE, throttle DRIFT, kept
        auto w = openWindow();
        PedalSim::pushInput(12000, 41000, 23000);
        QTRY_COMPARE(widget<QLabel>(*w, "lbAdc1")->text(), QStringLiteral("41000"));
        QCOMPARE(widget<QComboBox>(*w, "cbPro1")->currentText(), QStringLiteral("RACE"));
        QCOMPARE(widget<QComboBox>(*w, "cbPro2")->currentText(), QStringLiteral("DRIFT"));

        const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
        QVERIFY(QDir().mkpath(dir));
        const char* pages[] = {"inputs", "calibration", "profiles", "device", "about"};
        QList<QImage> shots;
        for (int page = 0; page < 5; ++page) {
            const QString button = QString("pbS%1").arg(page + 1);
            QTest::mouseClick(widget<QAbstractButton>(*w, qPrintable(button)), Qt::LeftButton);
            QCOMPARE(pageIndex(*w), page);
            const QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY(shot.save(dir + QString("/program-%1-%2.png").arg(page + 1).arg(pages[page])));
            QCOMPARE(shot.size(), QSize(900, 500));
            std::set<QRgb> colours;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    colours.insert(shot.pixel(x, y));
            QVERIFY2(colours.size() > 64 && !shots.contains(shot), pages[page]);
            shots << shot;
        }
        for (const char* name : {"pgAdc0", "pgAdc1", "pgAdc2"}) {
            const auto* bar = widget<QProgressBar>(*w, name);
            const QPoint inChunk = bar->mapTo(w.get(), QPoint(4, bar->height() / 2));
            QCOMPARE(QColor(shots[0].pixel(inChunk)), QColor(0, 117, 190));
        }
    }

    // A pedal set this user may not open: the head says so, and the hint offers the rule.
    void noAccess() {
        freshPedalSet();
        PedalSim::refuseAccess(true);
        MessageBoxAnswerer answerer(QMessageBox::No);
        auto w = std::make_unique<MainWindow>(testOptions());
        w->setWindowFlags(Qt::FramelessWindowHint);
        w->show();
        QTRY_COMPARE(answerer.seen.size(), 1);
        QCOMPARE(headText(*w), QStringLiteral("NO ACCESS TO DEVICE"));
        // The head's fixed width holds it whole, as it holds "WAITING FOR DEVICE...".
        auto* head = widget<QLabel>(*w, "lbHead");
        QVERIFY(head->fontMetrics().horizontalAdvance(head->text()) < head->width());
        // The box as the window shows it, beside the window.
        QMessageBox box(QMessageBox::Question, "Notify",
                        DeviceAccess::hint(DeviceAccess::Platform::Linux, true),
                        QMessageBox::Yes | QMessageBox::No);
        QVERIFY(saveBeside(*w, box, "program-no-access.png"));
    }

    // Games may not see the pedals: the ABOUT page's line, and the box a click on it opens.
    void gamesLine() {
        freshPedalSet();
        PedalSim::setInputMark(PedalSim::InputMark::Accelerometer);
        auto w = openWindow();
        QTest::mouseClick(widget<QAbstractButton>(*w, "pbS5"), Qt::LeftButton);
        auto* line = widget<QAbstractButton>(*w, "pbGames");
        QCOMPARE(line->text(), "Games may not see the pedals: marked as an accelerometer");
        // The line's fixed width holds the longest, in German too.
        for (const QString german :
             {"Spiele sehen die Pedale womöglich nicht: als Beschleunigungssensor markiert",
              "Spiele sehen die Pedale womöglich nicht: dieser Benutzer darf sie nicht öffnen"})
            QVERIFY(line->fontMetrics().horizontalAdvance(german) < line->width());
        QMessageBox box(QMessageBox::Question, "Notify",
                        GameInput::explanation(GameInput::check(), true),
                        QMessageBox::Yes | QMessageBox::No);
        QVERIFY(saveBeside(*w, box, "program-games.png"));
    }
};

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
