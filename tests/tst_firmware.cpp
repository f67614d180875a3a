// Firmware upload on the virtual pedal set: the exact transfer reports, the image the
// device ends up with, progress and timing, the DEVICE page, and flash clearing.
#include "tests/firmwarefixture.h"

#include "device/protocol.h"
#include "firmware/updatecheck.h"
#include "firmware/vexoupgrade.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>

namespace {

const QString SEND_FAILED =
    QStringLiteral("Error|Firmware update failed: the device did not accept the data. "
                   "Please check the connection and try again.");

// Every value a thread emits, with the milliseconds since the log began. Read after wait().
struct ProgressLog {
    explicit ProgressLog(const VexoUpgrade& thread) {
        clock.start();
        QObject::connect(
            &thread, &VexoUpgrade::progress, &thread,
            [this](int value) {
                values << value;
                times << clock.elapsed();
            },
            Qt::DirectConnection);
    }
    QElapsedTimer clock;
    QList<int> values;
    QList<qint64> times;
};

struct Upload {
    QList<int> values;
    QList<qint64> times;
    VexoUpgrade::Outcome outcome;
};

Upload runUpload(const QString& path) {
    VexoUpgrade thread;
    thread.firmwarePath = path;
    ProgressLog log(thread);
    thread.start();
    thread.wait();
    return {log.values, log.times, thread.outcome()};
}

// Answers the next modal file dialog with act(dialog).
void answerFileDialog(std::function<void(QFileDialog*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            act(dialog);
        }
    });
    timer->start(10);
}

QString hex(const Protocol::FeatureReport& report) {
    return PedalSim::hex(QByteArray(reinterpret_cast<const char*>(report.data()), 20));
}

} // namespace

class TestFirmware : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    QString userDir, temporaryCopy;

    void setPath(MainWindow& w, const QString& path) {
        widget<QLineEdit>(w, "lePath")->setText(path);
    }

private slots:
    void initTestCase() {
        temporaryCopy = useTemporaryFolder(base.path());
        QCOMPARE(Firmware::temporaryImagePath(), temporaryCopy);
        userDir = base.path() + "/user";
    }

    void init() { freshPedalSet(); }

    void cleanup() { checkDeviceUse(); }

    void chunkLayouts() {
        using namespace Protocol;
        const QByteArray image = imageBytes(0x1240 + 5);
        FeatureReport buffer = emptyReport();
        QCOMPARE(fillFirmwareChunk(buffer, image, 0x1230), 16);
        QCOMPARE(hex(buffer),
                 PedalSim::hex(QByteArray::fromHex("02812310") + image.mid(0x1230, 16)));
        // A short last piece leaves the tail of the one before; the closing report keeps it.
        QCOMPARE(fillFirmwareChunk(buffer, image, 0x1240), 5);
        markFirmwareEnd(buffer);
        QCOMPARE(hex(buffer), PedalSim::hex(QByteArray::fromHex("02102405") + image.mid(0x1240, 5) +
                                            image.mid(0x1235, 11)));
        QVERIFY(!Firmware::isFirmwareFileName("fw.BIN") && Firmware::isFirmwareFileName("fw.bin"));
        QVERIFY(Firmware::fitsFirmwareLimit(MAX_IMAGE) &&
                !Firmware::fitsFirmwareLimit(MAX_IMAGE + 1));
    }

    // Four complete transfers, each with its four writing seconds.
    void threadTransfers() {
        QVERIFY(DeviceHandle::open());
        // Empty, as the download's copy: the closing report only, the writing steps a
        // second apart, and the copy is gone.
        writeFile(temporaryCopy, QByteArray());
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Upgrading..." + temporaryCopy));
        Upload run = runUpload(temporaryCopy);
        QCOMPARE(run.values, (QList<int>{97, 98, 99, 100}));
        QCOMPARE(run.outcome, VexoUpgrade::Outcome::Written);
        for (int k = 0; k < 4; ++k) {
            const qint64 step = run.times[k] - (k ? run.times[k - 1] : 0);
            QVERIFY2(step >= 990 && step < 2000, qPrintable(QString::number(step)));
        }
        QCOMPARE(sentHex(), QStringList{reportHex("0210")});
        QVERIFY(PedalSim::firmwareEnds() == 1 && PedalSim::firmwareImage().isEmpty());
        QVERIFY(!QFile::exists(temporaryCopy));

        // 16 bytes from the user's folder: one data report; the file stays.
        const QByteArray sixteen = imageBytes(16, 2);
        writeFile(userDir + "/sixteen.bin", sixteen);
        PedalSim::clearLog();
        QCOMPARE(runUpload(userDir + "/sixteen.bin").values, (QList<int>{0, 97, 98, 99, 100}));
        QCOMPARE(sentHex(),
                 (QStringList{PedalSim::hex(QByteArray::fromHex("02800010") + sixteen),
                              PedalSim::hex(QByteArray::fromHex("02100010") + sixteen)}));
        QCOMPARE(PedalSim::firmwareImage(), sixteen);
        QVERIFY(QFile::exists(userDir + "/sixteen.bin"));

        // 17 bytes in a folder whose path starts with the temporary folder's: the user's
        // file stays. The second piece keeps bytes 5..19 of the first.
        const QString beside = QDir::tempPath() + "x/seventeen.bin";
        const QByteArray seventeen = imageBytes(17, 3);
        writeFile(beside, seventeen);
        PedalSim::clearLog();
        QCOMPARE(runUpload(beside).values, (QList<int>{0, 90, 97, 98, 99, 100}));
        const QByteArray second =
            QByteArray::fromHex("02800101") + seventeen.right(1) + seventeen.mid(1, 15);
        QCOMPARE(sentHex(),
                 (QStringList{PedalSim::hex(QByteArray::fromHex("02800010") + seventeen.left(16)),
                              PedalSim::hex(second),
                              PedalSim::hex(QByteArray::fromHex("0210") + second.mid(2))}));
        QCOMPARE(PedalSim::firmwareImage(), seventeen);
        QVERIFY(QFile::exists(beside));

        // 100 bytes inside the temporary folder, but not the download's copy: it stays.
        const QString inside = QDir::tempPath() + "/mine.bin";
        const QByteArray hundred = imageBytes(100, 4);
        writeFile(inside, hundred);
        PedalSim::clearLog();
        QCOMPARE(runUpload(inside).values,
                 (QList<int>{0, 15, 30, 46, 61, 76, 92, 97, 98, 99, 100}));
        const QStringList reports = sentHex();
        QCOMPARE(reports, transferReports(hundred));
        QCOMPARE(reports[5].left(11), QStringLiteral("02 80 05 10"));
        QCOMPARE(reports[6].left(11), QStringLiteral("02 80 06 04"));
        QCOMPARE(PedalSim::firmwareImage(), hundred);
        QVERIFY(QFile::exists(inside));
    }

    void threadEndsWithoutSending() {
        writeFile(userDir + "/a.bin", imageBytes(32));
        Upload run = runUpload(userDir + "/a.bin"); // no device
        QVERIFY(run.values.isEmpty() && run.outcome == VexoUpgrade::Outcome::NoDevice);
        QVERIFY(DeviceHandle::open());
        QTest::ignoreMessage(QtDebugMsg, "Can not open upgrade firmware file.");
        run = runUpload(userDir + "/missing.bin");
        QVERIFY(run.values.isEmpty() && run.outcome == VexoUpgrade::Outcome::Unreadable);
        // A file that grew past the limit after the window checked it.
        writeFile(userDir + "/grown.bin", imageBytes(MAX_IMAGE + 1));
        run = runUpload(userDir + "/grown.bin");
        QVERIFY(run.values.isEmpty() && run.outcome == VexoUpgrade::Outcome::TooLarge);
        QVERIFY(PedalSim::sentReports().empty());

        // A failed data report ends the transfer with its result; the device is not told
        // to write, and the download's copy goes all the same.
        const QByteArray image = imageBytes(64);
        writeFile(temporaryCopy, image);
        PedalSim::failSend(3);
        run = runUpload(temporaryCopy);
        QCOMPARE(run.values, (QList<int>{0, 24, -1}));
        QCOMPARE(run.outcome, VexoUpgrade::Outcome::SendFailed);
        QCOMPARE(sentHex(), transferReports(image).mid(0, 2));
        QVERIFY(!QFile::exists(temporaryCopy));
        // A failed closing report is no success either.
        PedalSim::clearLog();
        writeFile(userDir + "/b.bin", image);
        PedalSim::failSend(5);
        QCOMPARE(runUpload(userDir + "/b.bin").values, (QList<int>{0, 24, 48, 72, -1}));
        QCOMPARE(sentHex(), transferReports(image).mid(0, 4));
        QCOMPARE(PedalSim::firmwareEnds(), 0);
    }

    void pageTextsAndFileDialog() {
        auto w = openDevicePage();
        QVERIFY(pageAtRest(*w));
        auto* bar = widget<QProgressBar>(*w, "pgUpgrade");
        auto* status = widget<QLabel>(*w, "lbUpgrade");
        widget<QLabel>(*w, "lbCurMd5")->setText("MD5: 00ff");
        QMetaObject::invokeMethod(w.get(), "onProgress", Q_ARG(int, 96));
        QVERIFY(status->text() == "Uploading ..." && bar->value() == 96);
        QVERIFY(!bar->isHidden() && !status->isHidden());
        QMetaObject::invokeMethod(w.get(), "onProgress", Q_ARG(int, 97));
        QVERIFY(status->text() == "Writing ..." && bar->value() == 97);
        // 100 puts the page at rest before the notice comes up.
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        bool restBehindBox = false;
        answerer.inspect = [&] {
            restBehindBox = pageAtRest(*w);
        };
        QMetaObject::invokeMethod(w.get(), "onProgress", Q_ARG(int, 100));
        QCOMPARE(answerer.seen, QStringList{SUCCESS});
        QVERIFY(restBehindBox);
        QCOMPARE(widget<QLabel>(*w, "lbCurMd5")->text(), QStringLiteral("MD5: 00ff"));

        // The platform's file dialog: cancelled, the path stays; a choice replaces it whole.
        WindowOptions realDialogs = testOptions();
        realDialogs.dialogs = nullptr;
        w.reset(); // one window, one device handle
        w = openWindow(realDialogs);
        auto* path = widget<QLineEdit>(*w, "lePath");
        path->setText("keep me");
        QStringList filters;
        answerFileDialog([&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            dialog->reject();
        });
        button(*w, "pbPath")->click();
        QCOMPARE(path->text(), QStringLiteral("keep me"));
        QVERIFY2(filters.contains("Firmware File (*.bin)"), qPrintable(filters.join(';')));
        writeFile(userDir + "/chosen.bin", imageBytes(8));
        answerFileDialog([&](QFileDialog* dialog) {
            widget<QLineEdit>(*dialog, "fileNameEdit")->setText(userDir + "/chosen.bin");
            static_cast<QDialog*>(dialog)->accept(); // Open
        });
        button(*w, "pbPath")->click();
        QCOMPARE(path->text(), userDir + "/chosen.bin");
    }

    void refusedFiles() {
        auto w = openDevicePage();
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        writeFile(userDir + "/big.bin", imageBytes(MAX_IMAGE + 1));
        writeFile(userDir + "/caps.BIN", imageBytes(16));
        writeFile(userDir + "/empty.bin", QByteArray());
        for (const QString& file :
             {userDir + "/big.bin", userDir + "/caps.BIN", userDir + "/empty.bin"}) {
            answerer.seen.clear();
            setPath(*w, file);
            button(*w, "pbUpgrade")->click();
            QCOMPARE(answerer.seen, QStringList{NOT_VALID});
            QVERIFY(!w->firmwareUpdate().uploadThread().isRunning());
        }
        // Names that pass but name no file: the thread ends without sending, and the user
        // hears of it.
        for (const QString& file : {userDir + "/none.bin", QStringLiteral("http://x/fw.bin")}) {
            answerer.seen.clear();
            setPath(*w, file);
            QTest::ignoreMessage(QtDebugMsg, qPrintable("Start upgrade from " + file));
            QTest::ignoreMessage(QtDebugMsg, qPrintable("Upgrading..." + file));
            QTest::ignoreMessage(QtDebugMsg, "Can not open upgrade firmware file.");
            button(*w, "pbUpgrade")->click();
            QTRY_COMPARE(answerer.seen, QStringList{"Error|Can not open the firmware file."});
            QVERIFY(pageAtRest(*w));
        }
        QVERIFY(PedalSim::sentReports().empty());

        // Without a device, neither an upload nor clearing claims anything.
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        answerer.seen.clear();
        writeFile(userDir + "/c.bin", imageBytes(40));
        setPath(*w, userDir + "/c.bin");
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Start upgrade from " + userDir + "/c.bin"));
        QMetaObject::invokeMethod(w.get(), "onUpgrade");
        QTRY_COMPARE(answerer.seen, QStringList{UPLOAD_NO_DEVICE});
        QVERIFY(pageAtRest(*w));
        QMetaObject::invokeMethod(w.get(), "onClearFlash");
        QCOMPARE(answerer.seen.last(),
                 QStringLiteral("Error|No device is connected. The flash data was not cleared."));
        QVERIFY(PedalSim::sentReports().empty());
    }

    void failedTransfers() {
        auto w = openDevicePage();
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        const QByteArray image = imageBytes(100, 5);
        writeFile(userDir + "/d.bin", image);
        setPath(*w, userDir + "/d.bin");
        // A data report, then the closing report, then the device itself fails: what
        // arrived is all that was sent, never the closing report, and never a success.
        const int failAt[] = {3, 8, 4};
        for (int k = 0; k < 3; ++k) {
            QTRY_VERIFY(!w->firmwareUpdate().uploadThread().isRunning());
            answerer.seen.clear();
            PedalSim::clearLog();
            if (k < 2)
                PedalSim::failSend(failAt[k]);
            else
                PedalSim::unplugAtFeatureReport(failAt[k]);
            button(*w, "pbUpgrade")->click();
            QTRY_COMPARE(answerer.seen, QStringList{SEND_FAILED});
            QVERIFY(pageAtRest(*w));
            QCOMPARE(sentHex(), transferReports(image).mid(0, failAt[k] - 1));
        }
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QTest::qWait(1500);
        QCOMPARE(answerer.seen, QStringList{SEND_FAILED});
        QCOMPARE(PedalSim::firmwareEnds(), 0);
    }

    // The largest image through the window, with everything that must wait for it.
    void maximalImageThroughWindow() {
        auto w = openDevicePage();
        const QByteArray image = imageBytes(MAX_IMAGE, 6);
        const QString file = userDir + "/max.bin";
        writeFile(file, image);
        setPath(*w, file);
        const VexoUpgrade& thread = w->firmwareUpdate().uploadThread();
        ProgressLog log(thread);
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        PedalSim::setReportDelay(std::chrono::microseconds(100));
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Start upgrade from " + file));
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Upgrading..." + file));
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(widget<QLabel>(*w, "lbUpgrade")->text(), QStringLiteral("Uploading ..."));
        QVERIFY(!widget(*w, "pgUpgrade")->isHidden());

        // While it runs: no second upload, no check, no clearing, and no close.
        for (const char* name : {"pbUpgrade", "pbAutoUpgrade", "pbClearFlash", "pbClose"})
            button(*w, name)->click();
        QVERIFY(!w->close());
        QCOMPARE(answerer.seen, (QStringList{BUSY, BUSY, BUSY, BUSY, BUSY}));
        QVERIFY(w->isVisible() && thread.isRunning());
        QVERIFY(w->readerThread().isRunning());

        PedalSim::setReportDelay(std::chrono::microseconds(0));
        QTRY_COMPARE_WITH_TIMEOUT(widget<QLabel>(*w, "lbUpgrade")->text(),
                                  QStringLiteral("Writing ..."), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), 6, 10000);
        QCOMPARE(answerer.seen.last(), SUCCESS);
        QVERIFY(pageAtRest(*w));
        QTRY_VERIFY(thread.isFinished());
        QList<int> expected;
        for (int p = 0; p < 96; ++p)
            expected << p;
        QCOMPARE(log.values, expected << 97 << 98 << 99 << 100);
        QCOMPARE(PedalSim::firmwareChunks(), MAX_IMAGE / 16);
        QVERIFY(PedalSim::firmwareImage() == image);
        QVERIFY(sentHex() == transferReports(image));
        QVERIFY(QFile::exists(file));
        // Done, once the thread's end is handled: now the window closes.
        QCoreApplication::processEvents();
        button(*w, "pbClose")->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(answerer.seen.size(), 6);
    }

    // The reader loses the device in the middle of an upload while the device is still
    // there: the rest of the image must never go to the reopened handle.
    void readerLostDuringUpload() {
        auto w = openDevicePage(realWritingTime());
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        const QByteArray image = imageBytes(16 * 400, 8);
        writeFile(userDir + "/f.bin", image);
        setPath(*w, userDir + "/f.bin");
        PedalSim::setReportDelay(std::chrono::microseconds(2000));
        button(*w, "pbUpgrade")->click();
        QTRY_VERIFY(PedalSim::firmwareChunks() >= 20);
        PedalSim::failInputRead(1);
        QTRY_COMPARE(answerer.seen, QStringList{SEND_FAILED});
        PedalSim::setReportDelay(std::chrono::microseconds(0));
        QTRY_COMPARE(headText(*w), QStringLiteral("VEXO PX7"));
        QVERIFY(pageAtRest(*w));

        // What the device received of the image is a beginning of the transfer, and
        // nothing of it follows the reconnect's first query.
        const QStringList sent = sentHex();
        const QStringList transfer = transferReports(image);
        qsizetype pieces = 0;
        while (pieces < sent.size() && sent[pieces].startsWith("02 8"))
            ++pieces;
        QVERIFY(pieces >= 20 && pieces < transfer.size() - 1);
        QCOMPARE(sent.mid(0, pieces), transfer.mid(0, pieces));
        for (qsizetype i = pieces; i < sent.size(); ++i)
            QVERIFY2(!sent[i].startsWith("02 8") && !sent[i].startsWith("02 10"),
                     qPrintable(sent[i]));
        QCOMPARE(PedalSim::firmwareEnds(), 0);

        // Lost while the device writes its flash: the window waits, and asks the device
        // nothing until the writing seconds are over; then it connects again.
        answerer.seen.clear();
        PedalSim::clearLog();
        button(*w, "pbS4")->click();
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(PedalSim::firmwareEnds(), 1);
        const size_t transferred = PedalSim::sentReports().size();
        PedalSim::failInputRead(1);
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QTest::qWait(500);
        QVERIFY(w->firmwareUpdate().uploadThread().isRunning());
        QCOMPARE(PedalSim::sentReports().size(), transferred);
        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen, QStringList{SUCCESS}, 6000);
        QTRY_COMPARE(headText(*w), QStringLiteral("VEXO PX7"));
        QCOMPARE(PedalSim::firmwareImage(), image);
    }

    void windowDestroyedDuringUpload() {
        auto w = openDevicePage(realWritingTime());
        const QByteArray image = imageBytes(48, 7);
        writeFile(userDir + "/e.bin", image);
        setPath(*w, userDir + "/e.bin");
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(PedalSim::firmwareEnds(), 1); // the device is writing now
        QElapsedTimer clock;
        clock.start();
        w.reset();
        // The window waited for the writing seconds instead of destroying the thread.
        QVERIFY2(clock.elapsed() > 2500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(PedalSim::firmwareImage(), image);
        QCOMPARE(PedalSim::openHandles(), 0);
    }

    void clearFlash() {
        PedalSim::setSetting(0x07, 0);
        PedalSim::setProfile(5, "MINE", 2, {10, 20, 30, 40, 50});
        auto w = openDevicePage();
        const QString question =
            "Notify|Do you want to continue?\nThis operation will delete all the settings "
            "stored in the device flash memory.";
        MessageBoxAnswerer answerer(QMessageBox::No);
        button(*w, "pbClearFlash")->click();
        QCOMPARE(answerer.seen, QStringList{question});
        QVERIFY(answerer.lastNoByDefault);
        QVERIFY(PedalSim::sentReports().empty());

        // Yes, but the report fails: the device keeps everything and the user is told.
        answerer.answer = QMessageBox::Yes;
        answerer.seen.clear();
        PedalSim::failSend(1);
        button(*w, "pbClearFlash")->click();
        QCOMPARE(answerer.seen,
                 (QStringList{question, "Error|The device did not accept the "
                                        "command. The flash data was not cleared."}));
        QCOMPARE(PedalSim::keptSetting(0x07), 0u);
        QCOMPARE(PedalSim::profileName(5), QStringLiteral("MINE"));

        // Yes: one erase report, then the profile lists are read again from the factory
        // state; each list's first entry is previewed as it appears.
        answerer.seen.clear();
        PedalSim::clearLog();
        button(*w, "pbClearFlash")->click();
        QCOMPARE(answerer.seen, (QStringList{question, "Notify|Flash data has been cleared."}));
        QStringList expected{reportHex("020C10"),         reportHex("020B0300"),
                             reportHex("020B0400"),       reportHex("020C0F00000000"),
                             reportHex("020B0301"),       reportHex("020B0401"),
                             reportHex("020C0F00010000"), reportHex("020B0302"),
                             reportHex("020B0402"),       reportHex("020C0F00010200")};
        for (int slot = 3; slot < 16; ++slot)
            expected << reportHex(
                qPrintable(QStringLiteral("020B03%1").arg(slot, 2, 16, QLatin1Char('0'))));
        // Then the clutch mode and the deadzones, which the INPUTS page shows.
        expected << reportHex("020B0C0F") << reportHex("020B0C07") << reportHex("020B0501");
        QCOMPARE(sentHex(), expected);
        for (const char* list : {"cbPro0", "cbPro1", "cbPro2"})
            QCOMPARE(w->findChild<QComboBox*>(QLatin1String(list))->currentText(),
                     QStringLiteral("DEFAULT"));
        QCOMPARE(PedalSim::keptSetting(0x07), 1u);
        QVERIFY(widget<QCheckBox>(*w, "cbClutch")->isChecked());
        QVERIFY(PedalSim::profile(5).name.startsWith(char(0xFF)));
    }
};

QTEST_MAIN(TestFirmware)
#include "tst_firmware.moc"
