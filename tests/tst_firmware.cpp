// The DEVICE page's firmware upload and flash clearing, through the window.
#include "tests/firmwarefixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>

class TestFirmware : public QObject {
    Q_OBJECT

    QTemporaryDir base;

    void typeFile(MainWindow& w, const QString& name, const QByteArray& image) {
        writeFile(base.filePath(name), image);
        widget<QLineEdit>(w, "lePath")->setText(base.filePath(name));
    }

private slots:
    void initTestCase() { useTemporaryFolder(base.path()); }
    void init() { freshPedalSet(); }
    void cleanup() { checkDeviceUse(); }

    // The one test of the platform's file dialog: cancelled, then a file chosen.
    void realFileDialog() {
#ifdef Q_OS_WIN
        QSKIP("Windows shows its own file dialog, not Qt's widgets");
#endif
        WindowOptions options = testOptions();
        options.dialogs = nullptr;
        auto w = openDevicePage(options);
        auto* path = widget<QLineEdit>(*w, "lePath");
        path->setText("keep me");
        const QString chosen = base.filePath("chosen.bin");
        writeFile(chosen, imageBytes(8));
        QStringList filters;
        for (const QString& name : {QString(), chosen}) {
            QTimer::singleShot(0, this, [&] { // once the click has opened it
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                filters = dialog->nameFilters();
                widget<QLineEdit>(*dialog, "fileNameEdit")->setText(name);
                name.isEmpty() ? dialog->reject() : static_cast<QDialog*>(dialog)->accept();
            });
            button(*w, "pbPath")->click();
            QCOMPARE(path->text(), name.isEmpty() ? QStringLiteral("keep me") : chosen);
        }
        QVERIFY2(filters.contains("Firmware File (*.bin)"), qPrintable(filters.join(';')));
    }

    // Refusals, then the largest image while everything else must wait for it: whatever the
    // user does on any page, and a command from outside, nothing but the transfer is sent.
    void uploadThroughWindow() {
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        auto w = openDevicePage();
        MessageBoxAnswerer answerer;
        typeFile(*w, "caps.BIN", imageBytes(16));
        button(*w, "pbUpgrade")->click();
        widget<QLineEdit>(*w, "lePath")->setText(base.filePath("none.bin"));
        button(*w, "pbUpgrade")->click();
        QTRY_VERIFY(w->session().firmware().isIdle());
        QCOMPARE(answerer.seen, (QStringList{"Error|Not a valid firmware.",
                                             "Error|Can not open the firmware file."}));

        // Asked first, No by default: No sends nothing.
        const QByteArray image = imageBytes(MAX_IMAGE, 6);
        typeFile(*w, "max.bin", image);
        answerer.seen.clear();
        button(*w, "pbUpgrade")->click();
        QVERIFY(answerer.lastNoByDefault && pageAtRest(*w) && PedalSim::sentReports().empty());
        QList<int> shown;
        connect(widget<QProgressBar>(*w, "pgUpgrade"), &QProgressBar::valueChanged, this,
                [&](int value) { shown << value; });
        bool atRestBehindBox = false, noticeClosed = false;
        answerer.inspect = [&] {
            atRestBehindBox = pageAtRest(*w);
            noticeClosed = !testDialogs().noticeOpen;
        };
        answerer.answer = QMessageBox::Yes;
        // Everything at the first progress value: its end is told after the last one, so
        // the upload is under way whatever the two threads' speeds.
        const QString busy = "A firmware update is in progress. Please wait until it has finished.";
        bool tried = false;
        connect(&w->session().firmware().uploadThread(), &VexoUpgrade::progress, this, [&] {
            if (std::exchange(tried, true))
                return;
            QVERIFY(widget(*w, "pgUpgrade")->isVisible() && widget(*w, "lbUpgrade")->isVisible());
            for (const char* name : {"pbUpgrade", "pbAutoUpgrade", "pbClearFlash", "pbImport",
                                     "pbClose", "pbSavePro1", "pbDelPro1", "pbSave1"})
                button(*w, name)->click();
            QVERIFY(!w->close() && w->isVisible() && w->session().reader().isRunning());
            // Refused, each shows again what the device holds.
            auto* clutch = widget<QCheckBox>(*w, "cbClutch");
            clutch->click();
            auto* brakeList = widget<QComboBox>(*w, "cbPro1");
            brakeList->setCurrentIndex(1);
            auto* tag = widget<VexoSlider>(*w, "lbDzL1");
            dragTag(tag, 40);
            QVERIFY(clutch->isChecked() && brakeList->currentIndex() == 0 && tag->value() == 0);
            ProfileCommand select;
            select.action = ProfileCommand::Action::Select;
            select.selections = {{1, "RACE"}};
            const CommandResult forwarded = w->runCommand(select);
            QVERIFY(forwarded.exitCode == ExitCode::REFUSED && forwarded.err == busy);
            QCOMPARE(answerer.seen, QStringList(2, uploadQuestion("max.bin", MAX_IMAGE)) +
                                        QStringList(12, "Notify|" + busy));
        });
        button(*w, "pbUpgrade")->click();
        QTRY_VERIFY(tried);
        QVERIFY(testDialogs().noticeOpen);
        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), 15, 10000);
        // The busy notice closed itself before the end was told.
        QVERIFY(answerer.seen.last() == success() && atRestBehindBox && noticeClosed);
        QCOMPARE(widget<QLabel>(*w, "lbUpgrade")->text(), QStringLiteral("Writing ..."));
        QList<int> expected; // each value once, 96 skipped, and back to 0 at rest
        for (int p = 1; p < 100; p += p == 95 ? 2 : 1)
            expected << p;
        QCOMPARE(shown, expected << 0);
        QVERIFY(sentHex() == transferReports(image));
    }

    // With the device's real writing time: the reader loses the device while the image is
    // sent, then while the device writes it; last, the window is closed while it writes.
    void deviceLostOrWindowClosedWhileUploading() {
        WindowOptions options = testOptions();
        options.firmwareWritingStepMs = WindowOptions().firmwareWritingStepMs;
        auto w = openDevicePage(options);
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        const QByteArray image = imageBytes(16 * 400, 8);
        typeFile(*w, "f.bin", image);
        PedalSim::setReportDelay(std::chrono::microseconds(2000));
        button(*w, "pbUpgrade")->click();
        QTRY_VERIFY(PedalSim::firmwareChunks() >= 20);
        PedalSim::failInputRead(1);
        const QString asked = uploadQuestion("f.bin", image.size());
        QTRY_COMPARE(answerer.seen,
                     (QStringList{asked, "Error|Firmware update failed: the device did not accept "
                                         "the data. Please check the connection and try again."}));
        PedalSim::setReportDelay(std::chrono::microseconds(0));
        QTRY_VERIFY(connected(*w) && pageIndex(*w) == 0 && pageAtRest(*w));
        // A beginning of the transfer, and nothing of it after the reconnection's queries.
        const QStringList sent = sentHex();
        const qsizetype pieces = sent.filter(QRegularExpression("^02 (8|10)")).size();
        QVERIFY(pieces >= 20 && PedalSim::firmwareEnds() == 0);
        QCOMPARE(sent.mid(0, pieces), transferReports(image).mid(0, pieces));

        answerer.seen.clear();
        PedalSim::clearLog();
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(PedalSim::firmwareEnds(), 1);
        const size_t transferred = PedalSim::sentReports().size();
        size_t whenWritten = 0;
        answerer.inspect = [&] {
            whenWritten = PedalSim::sentReports().size();
        };
        PedalSim::failInputRead(1);
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen, (QStringList{asked, success()}), 6000);
        QCOMPARE(whenWritten, transferred); // nothing asked of the device while it wrote
        QTRY_VERIFY(connected(*w) && pageIndex(*w) == 0);

        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(PedalSim::firmwareEnds(), 2);
        QElapsedTimer clock;
        clock.start();
        w.reset();
        QVERIFY2(clock.elapsed() > 2500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(PedalSim::openHandles(), 0);
    }

    // An upload and a clearing back the profiles up first. A backup that cannot be written
    // is asked about (No by default), and No leaves the device untouched.
    void backupsBeforeErasing() {
        const qsizetype before = backupCount();
        auto w = openDevicePage();
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        typeFile(*w, "b.bin", imageBytes(16));
        button(*w, "pbUpgrade")->click();
        QTRY_VERIFY(w->session().firmware().isIdle());
        button(*w, "pbClearFlash")->click();
        QCOMPARE(backupCount(), before + 2);

        w.reset();
        WindowOptions options = testOptions();
        options.backupFolder = base.filePath("b.bin"); // a file stands in the way
        PedalSim::setProfile(3, "RACE", 2, {10, 20, 30, 40, 50});
        w = openDevicePage(options);
        const QString noBackup = "Notify|The profiles could not be backed up to " +
                                 QDir::toNativeSeparators(options.backupFolder) +
                                 ".\nGo on without a backup?";
        answerer.seen.clear();
        // A command from outside while a question is open is answered busy, never run
        // between the question and what it asks about.
        ProfileCommand select;
        select.action = ProfileCommand::Action::Select;
        select.selections = {{1, "RACE"}};
        QStringList duringQuestions;
        answerer.inspect = [&] {
            w->onInit(); // the device lost and found again meanwhile
            const CommandResult result = w->runCommand(select);
            duringQuestions << QString::number(result.exitCode) + '|' + result.err;
            answerer.answer = answerer.seen.last() == noBackup ? QMessageBox::No : QMessageBox::Yes;
        };
        typeFile(*w, "c.bin", imageBytes(16));
        PedalSim::clearLog();
        button(*w, "pbUpgrade")->click();
        QVERIFY(answerer.lastNoByDefault && pageAtRest(*w) && w->session().firmware().isIdle());
        button(*w, "pbClearFlash")->click();
        QCOMPARE(answerer.seen.size(), 4);
        QCOMPARE(answerer.seen.value(0), uploadQuestion("c.bin", 16));
        QCOMPARE(answerer.seen.value(1), noBackup);
        QCOMPARE(answerer.seen.value(3), noBackup);
        const QString uploading =
            "5|A firmware update is in progress. Please wait until it has finished.";
        const QString clearing = "5|The pedal set is busy with another operation of the window. "
                                 "Please wait until it has finished.";
        QCOMPARE(duringQuestions, (QStringList{uploading, uploading, clearing, clearing}));
        QVERIFY(PedalSim::sentReports().empty());
    }

    void clearFlash() {
        auto w = openDevicePage();
        const QString question =
            "Notify|Do you want to continue?\nThis operation will delete all the settings "
            "stored in the device flash memory.";
        MessageBoxAnswerer answerer(QMessageBox::No);
        button(*w, "pbClearFlash")->click();
        QVERIFY(answerer.seen == QStringList{question} && answerer.lastNoByDefault);
        answerer.answer = QMessageBox::Yes;
        PedalSim::failSend(1);
        button(*w, "pbClearFlash")->click();
        QCOMPARE(answerer.seen.last(), QStringLiteral("Error|The device did not accept the "
                                                      "command. The flash data was not cleared."));
        QVERIFY(PedalSim::sentReports().empty());
        answerer.seen.clear();
        button(*w, "pbClearFlash")->click();
        QCOMPARE(answerer.seen,
                 (QStringList{question, "Notify|Flash data has been cleared." + keptNote()}));
        // One erase report; the profile lists read again, each list's first entry previewed;
        // the clutch mode and the deadzones.
        QStringList expected;
        for (const QString& report :
             QStringLiteral("020C10 020B0300 020B0400 020C0F00000000 020B0301 020B0401 "
                            "020C0F00010000 020B0302 020B0402 020C0F00010200 020B0303 020B0304 "
                            "020B0305 020B0306 020B0307 020B0308 020B0309 020B030A 020B030B "
                            "020B030C 020B030D 020B030E 020B030F 020B0C0F 020B0C07 020B0501")
                 .split(' '))
            expected << reportHex(qPrintable(report));
        QCOMPARE(sentHex(), expected);

        // Without a device neither an upload nor a clearing claims anything.
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        answerer.seen.clear();
        PedalSim::clearLog();
        widget<QLineEdit>(*w, "lePath")->setText(base.filePath("none.bin"));
        widget<QPushButton>(*w, "pbUpgrade")->click();
        QTRY_VERIFY(w->session().firmware().isIdle());
        widget<QPushButton>(*w, "pbClearFlash")->click();
        QCOMPARE(answerer.seen,
                 (QStringList{"Error|No device is connected. The firmware was not sent.",
                              "Error|No device is connected. The flash data was not cleared."}));
        QVERIFY(pageAtRest(*w) && PedalSim::sentReports().empty());
    }
};

QTEST_MAIN(TestFirmware)
#include "tst_firmware.moc"
