// A seeded random walk over the whole window: clicks, drags, typing, keys and answers to
// every message box and file choice, while the pedals move by themselves and the pedal set comes
// and goes. VEXO_MONKEY_SEED and VEXO_MONKEY_EVENTS choose the walk; VEXO_MONKEY_SECONDS bounds it.
// The same seed makes the same choices, so a walk that finds a fault can be run again.
#include "tests/firmwarefixture.h"

#include "app/widgets/vexoaxis.h"
#include "app/widgets/vexoslider.h"
#include "device/protocol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>

#include <random>

namespace {

// A closed port: CHECK UPDATE fails at once, and no real server is ever asked.
const QString NO_SERVER = QStringLiteral("https://127.0.0.1:9/");

int environmentNumber(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value >= 0 ? value : fallback;
}

} // namespace

class TestMonkey : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    std::mt19937 rng;
    QStringList dialogFiles;
    int events = 0;
    QMap<QString, int> actions;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool chance(int percent) { return pick(100) < percent; }
    template <typename T> T* any(const QList<T*>& items) {
        return items.isEmpty() ? nullptr : items.at(pick(int(items.size())));
    }

    // Every dialog gets a random answer: OK, Yes or No, or a file of the scratch folder (or
    // none). Only ever scratch files: the user's own files are not touched.
    struct RandomDialogs : UserDialogs {
        TestMonkey& walk;
        explicit RandomDialogs(TestMonkey& walk)
            : walk(walk) {}
        void tell(QWidget*, Kind, const QString&, const QString&) override {
            ++walk.actions["answer box"];
        }
        bool ask(QWidget*, const QString&, const QString&, bool) override {
            ++walk.actions["answer box"];
            return walk.chance(50);
        }
        QString openFileName(const QString&) override { return file(); }
        QString saveFileName() override { return file(); }
        // The rules as they are, kept or cancelled; the desktop's autostart left alone.
        bool editGames(QWidget*, GameRules::File&, const std::array<QStringList, 3>&,
                       const QStringList&, bool&) override {
            ++walk.actions["answer games"];
            return walk.chance(50);
        }
        QString file() {
            ++walk.actions["answer file dialog"];
            if (walk.chance(15))
                return QString();
            return walk.scratch.filePath(
                walk.dialogFiles.at(walk.pick(int(walk.dialogFiles.size()))));
        }
    } dialogs{*this};

    WindowOptions walkOptions() {
        WindowOptions options = testOptions();
        options.dialogs = &dialogs;
        options.updateBaseUrl = NO_SERVER + "pedal/";
        return options;
    }

    void makeScratchFiles() {
        writeFile(scratch.filePath("good.bin"), imageBytes(64, 9));
        writeFile(scratch.filePath("huge.bin"), imageBytes(MAX_IMAGE + 1, 2));
        writeFile(scratch.filePath("empty.bin"), QByteArray());
        writeFile(scratch.filePath("notes.txt"), "not a profile");
        writeFile(scratch.filePath("broken.ini"), "[General]\n05RAIN=@ByteArray(\\x5\\x7)\n");
        {
            QSettings good(scratch.filePath("good.ini"), QSettings::IniFormat);
            good.setValue("00DEFAULT", QByteArray::fromHex("00011121324253"));
            good.setValue("01DEFAULT", QByteArray::fromHex("01021121324253"));
            good.setValue("02DEFAULT", QByteArray::fromHex("02031121324253"));
            good.setValue("04MONKEY", QByteArray::fromHex("04020a141e2832"));
            good.setValue("INDEX", uint(0xEF020401));
        }
        dialogFiles = {"good.bin", "huge.bin",   "notes.txt", "broken.ini", "empty.bin",
                       "good.ini", "export.ini", "export",    "missing.ini"};
    }

    // The program started again after the user closed it.
    void restart(std::unique_ptr<MainWindow>& w) {
        w.reset();
        w = std::make_unique<MainWindow>(walkOptions());
        w->setWindowFlags(Qt::FramelessWindowHint);
        w->show();
    }

    // Shows the page a widget lives on, as the user would by its sidebar button.
    void showPageOf(MainWindow& w, int page) {
        auto* pageButton = widget<QPushButton>(w, qPrintable(QStringLiteral("pbS%1").arg(page)));
        if (pageButton->isEnabled()) {
            ++actions["go to page " + QString::number(page)];
            QTest::mouseClick(pageButton, Qt::LeftButton);
        }
    }

    template <typename T> QList<T*> visible(MainWindow& w) {
        QList<T*> shown;
        for (T* item : w.findChildren<T*>())
            if (item->isVisible() && item->isEnabled())
                shown << item;
        return shown;
    }

    // One random thing a user (or the cable) does.
    void step(std::unique_ptr<MainWindow>& w) {
        // A key may have pressed the close button.
        if (!w->isVisible()) {
            ++actions["restart"];
            restart(w);
        }
        // A cable pulled out goes back in after a while.
        if (!PedalSim::isPlugged() && chance(5)) {
            ++actions["plug"];
            PedalSim::plug();
        }
        const int kind = pick(100);
        if (kind < 24) {
            // A click on any button the user can reach.
            QList<QAbstractButton*> reachable;
            for (QAbstractButton* b : visible<QAbstractButton>(*w))
                if (b->objectName() != "pbClose")
                    reachable << b;
            if (QAbstractButton* b = any(reachable)) {
                ++actions["click " + b->objectName()];
                QTest::mouseClick(b, Qt::LeftButton);
            }
        } else if (kind < 34) {
            // A profile list: another entry, or a name typed, perhaps confirmed.
            auto* list = widget<QComboBox>(*w, qPrintable(QStringLiteral("cbPro%1").arg(pick(3))));
            if (!list->isVisible() || !list->isEnabled()) {
                showPageOf(*w, 3);
                return;
            }
            static const QStringList names{"RACE", "DEFAULT",           "",    "Äpfel und Birnen",
                                           "x",    "ABCDEFGHIJKLMNOPQ", "雪道"};
            if (chance(50)) {
                ++actions["choose profile"];
                QTest::keyClick(list, chance(50) ? Qt::Key_Down : Qt::Key_Up);
            } else {
                ++actions["type profile name"];
                list->lineEdit()->clear();
                // Committed as an input method does: key clicks carry ASCII only.
                QInputMethodEvent typed;
                typed.setCommitString(names.at(pick(int(names.size()))));
                QCoreApplication::sendEvent(list->lineEdit(), &typed);
                if (chance(50))
                    QTest::keyClick(list->lineEdit(), Qt::Key_Return);
            }
        } else if (kind < 44) {
            // A deadzone tag dragged sideways.
            if (VexoSlider* tag = any(visible<VexoSlider>(*w))) {
                ++actions["drag deadzone"];
                const QPointF from(8, 8);
                const QPointF to = from + QPointF(pick(121) - 60, pick(11) - 5);
                drag(*tag, {from, (from + to) / 2, to});
            } else {
                showPageOf(*w, 1);
            }
        } else if (kind < 52) {
            // A curve point dragged up or down.
            if (VexoAxis* curve = any(visible<VexoAxis>(*w))) {
                ++actions["drag curve"];
                const QPointF p = curve->controlPoints[size_t(pick(5))];
                const QPointF from(5 + 2 * p.x(), 200 - 2 * p.y());
                const QPointF to(from.x(), pick(240) - 20);
                drag(*curve, {from, (from + to) / 2, to});
            } else {
                showPageOf(*w, 3);
            }
        } else if (kind < 56) {
            ++actions["type path"];
            auto* path = widget<QLineEdit>(*w, "lePath");
            static const char* const texts[] = {"good.bin", "huge.bin",    "notes.txt", "empty.bin",
                                                "",         "nothing.bin", "online"};
            const QString text = QString::fromLatin1(texts[pick(int(std::size(texts)))]);
            path->setText(text == "online" ? NO_SERVER + "fw.bin"
                          : text.isEmpty() ? text
                                           : scratch.filePath(text));
        } else if (kind < 62) {
            ++actions["key"];
            static const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Tab,
                                           Qt::Key_Space, Qt::Key_Backtab};
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : w.get();
            QTest::keyClick(target, keys[pick(5)]);
        } else if (kind < 64) {
            ++actions["drag window"];
            const QPointF from(200, 20), to(200 + pick(41) - 20, 20 + pick(41) - 20);
            drag(*w, {from, (from + to) / 2, to});
        } else if (kind < 66) {
            // The cable, now or in the middle of the next reports.
            if (!PedalSim::isPlugged()) {
                ++actions["plug"];
                PedalSim::plug();
            } else if (chance(50)) {
                ++actions["unplug"];
                PedalSim::unplug();
            } else {
                ++actions["unplug at a later report"];
                PedalSim::unplugAtFeatureReport(1 + pick(60));
            }
        } else if (kind < 68) {
            ++actions["input report fails"];
            PedalSim::failInputRead(1 + pick(5));
        } else if (kind < 70) {
            ++actions["feature report fails"];
            if (chance(50))
                PedalSim::failSend(1 + pick(40));
            else
                PedalSim::failGet(1 + pick(40));
        } else if (kind < 72) {
            ++actions["odd input reports"];
            PedalSim::pushRawInput(QByteArray(1 + pick(20), char(pick(256))));
            PedalSim::pushInput(quint16(pick(65536)), quint16(pick(65536)), quint16(pick(65536)),
                                1 + pick(17));
        } else if (kind < 73) {
            // The user closes the program and starts it again.
            ++actions["close and restart"];
            widget<QPushButton>(*w, "pbClose")->click();
        } else if (headText(*w) != QStringLiteral("VEXO PX7") && chance(50)) {
            // Seconds pass while the window waits: its next attempt comes.
            ++actions["retry"];
            w->onInit();
        } else {
            // Time passes: timers fire, the reader delivers, the window reconnects.
            ++actions["wait"];
            QTest::qWait(pick(kind < 97 ? 40 : 400));
        }
    }

private slots:
    void initTestCase() {
        useTemporaryFolder(scratch.path());
        makeScratchFiles();
        // The walk closes and starts the program again; the test goes on meanwhile.
        QApplication::setQuitOnLastWindowClosed(false);
        // The program's debug lines are checked elsewhere; thousands of them would use up
        // QtTest's message limit before the walk's summary.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    }

    void randomWalk() {
        const int seed = environmentNumber("VEXO_MONKEY_SEED", 7);
        const int wanted = environmentNumber("VEXO_MONKEY_EVENTS", 5000);
        const int seconds = environmentNumber("VEXO_MONKEY_SECONDS", 100);
        rng.seed(quint32(seed));
        qInfo("monkey: seed %d, %d events, at most %d s", seed, wanted, seconds);

        DeviceHandle::close();
        PedalSim::reset();
        PedalSim::setLogging(false, false);
        PedalSim::setMotion(true, 250);
        auto w = openWindow(walkOptions());

        QElapsedTimer clock;
        clock.start();
        for (events = 0; events < wanted && clock.elapsed() < seconds * 1000; ++events) {
            step(w);
            QCoreApplication::processEvents();
            QVERIFY2(PedalSim::closedHandleUses() == 0, qPrintable(QString::number(events)));
            QVERIFY2(PedalSim::protocolErrors().isEmpty(),
                     qPrintable(PedalSim::protocolErrors().join('\n')));
        }
        qInfo("monkey: seed %d, %d events in %lld ms", seed, events, clock.elapsed());
        for (auto it = actions.begin(); it != actions.end(); ++it)
            qInfo("  %5d  %s", it.value(), qPrintable(it.key()));
        QVERIFY(events > 0);

        // Alive: the loop turns, nothing ran past its end, and the device is found again.
        QVERIFY(loopTurns());
        PedalSim::failSend(0);
        PedalSim::failGet(0);
        PedalSim::failInputRead(0);
        PedalSim::unplugAtFeatureReport(0);
        PedalSim::plug();
        if (!w->isVisible())
            restart(w);
        QTRY_VERIFY_WITH_TIMEOUT(w->session().firmware().isIdle(), 10000);
        w->onInit();
        QTRY_VERIFY_WITH_TIMEOUT(connected(*w), 5000);
        QVERIFY(w->isVisible());
        QTRY_COMPARE(pageIndex(*w), 0);
        // The window shows what the device holds, and the only image the device was ever
        // told to write is the one valid file, whole.
        QCOMPARE(widget<QCheckBox>(*w, "cbClutch")->isChecked(),
                 PedalSim::setting(Protocol::VEXIE_PEDAL_MODE) == 1);
        if (PedalSim::firmwareEnds() > 0)
            QCOMPARE(PedalSim::firmwareImage(), imageBytes(64, 9));
        qInfo("monkey: %d firmware images written", PedalSim::firmwareEnds());
        QCOMPARE(PedalSim::closedHandleUses(), 0);
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
        QVERIFY(loopTurns());

        w->onClose();
        QVERIFY(!w->isVisible());
        w.reset();
        PedalSim::setMotion(false);
        QCOMPARE(PedalSim::openHandles(), 0);
        QCOMPARE(PedalSim::closedHandleUses(), 0);
    }
};

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"
