// Firmware upload on the virtual pedal set: the exact transfer reports, the image the
// device ends up with, progress and timing, the DEVICE page, and flash clearing.
#include "tests/windowfixture.h"

#include "device/protocol.h"
#include "firmware/updatecheck.h"
#include "firmware/vexoupgrade.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <mutex>

namespace {

constexpr int MAX_IMAGE = 229376;
const QString BUSY =
    QStringLiteral("Notify|A firmware update is in progress. Please wait until it has finished.");
const QString SEND_FAILED =
    QStringLiteral("Error|Firmware update failed: the device did not accept the data. "
                   "Please check the connection and try again.");
const QString SUCCESS = QStringLiteral("Notify|Firmware updated successfully.");
const QString NOT_VALID = QStringLiteral("Error|Not a valid firmware.");

// Bytes that differ from piece to piece, so a report carrying stale or shifted data shows.
QByteArray imageBytes(int size, int seed = 1) {
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 37 + (i >> 8) * 11 + seed * 101 + 1) & 0xFF);
    return image;
}

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

// The reports the device must receive for an image: one per 16-byte piece in one reused
// buffer, then the closing report.
QStringList transferReports(const QByteArray& image) {
    QByteArray buffer(20, '\0');
    buffer[0] = 0x02;
    QStringList reports;
    for (int offset = 0; offset < image.size(); offset += 16) {
        const int n = std::min(16, int(image.size()) - offset);
        buffer[1] = char(((offset >> 12) | 0x80) & 0xFF);
        buffer[2] = char((offset >> 4) & 0xFF);
        buffer[3] = char(n);
        for (int i = 0; i < n; ++i)
            buffer[4 + i] = image[offset + i];
        reports << PedalSim::hex(buffer);
    }
    buffer[1] = 0x10;
    reports << PedalSim::hex(buffer);
    return reports;
}

// Every progress value of a thread, with the time since the start, as the thread emits it.
class ProgressLog {
public:
    explicit ProgressLog(VexoUpgrade& thread) {
        clock.start();
        QObject::connect(
            &thread, &VexoUpgrade::progress, &thread,
            [this](int value) {
                std::lock_guard<std::mutex> guard(mutex);
                values << value;
                times << clock.elapsed();
            },
            Qt::DirectConnection);
    }
    QList<int> all() {
        std::lock_guard<std::mutex> guard(mutex);
        return values;
    }
    QList<qint64> stamps() {
        std::lock_guard<std::mutex> guard(mutex);
        return times;
    }

private:
    std::mutex mutex;
    QElapsedTimer clock;
    QList<int> values;
    QList<qint64> times;
};

QList<int> runUpload(const QString& path) {
    VexoUpgrade thread;
    thread.firmwarePath = path;
    ProgressLog log(thread);
    thread.start();
    thread.wait();
    return log.all();
}

// Answers the next modal file dialog with act(dialog).
void answerFileDialog(std::function<void(QFileDialog*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start(10);
}

QPushButton* button(QWidget& w, const char* name) {
    return widget<QPushButton>(w, name);
}

bool pageAtRest(QWidget& w) {
    auto* check = button(w, "pbAutoUpgrade");
    return check->isEnabled() && check->text() == QStringLiteral("CHECK UPDATE") &&
           widget(w, "pgUpgrade")->isHidden() && widget(w, "lbUpgrade")->isHidden() &&
           widget<QProgressBar>(w, "pgUpgrade")->value() == 0 &&
           widget<QLabel>(w, "lbCurVersion")->text().isEmpty() && widget(w, "lbCurMd5")->isHidden();
}

std::unique_ptr<MainWindow> openDevicePage() {
    auto w = openWindow();
    button(*w, "pbS4")->click();
    return w;
}

} // namespace

class TestFirmware : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    QString userDir;

private slots:
    void initTestCase() {
        QVERIFY(base.isValid());
        // The program's temporary folder, and a folder beside it whose name starts alike.
        QVERIFY(QDir(base.path()).mkpath("tmp"));
        qputenv("TMPDIR", QFile::encodeName(base.path() + "/tmp"));
        QCOMPARE(QDir::tempPath(), base.path() + "/tmp");
        userDir = base.path() + "/user";
        QVERIFY(QDir().mkpath(userDir));
    }

    void init() {
        DeviceHandle::close();
        PedalSim::reset();
    }

    void cleanup() {
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
        QCOMPARE(PedalSim::closedHandleUses(), 0);
    }

    void chunkLayouts() {
        using namespace Protocol;
        const QByteArray image = imageBytes(0x1240 + 5);
        FeatureReport buffer = emptyReport();
        QCOMPARE(fillFirmwareChunk(buffer, image, 0x1230), 16);
        QCOMPARE(PedalSim::hex(QByteArray(reinterpret_cast<const char*>(buffer.data()), 20)),
                 PedalSim::hex(QByteArray::fromHex("02812310") + image.mid(0x1230, 16)));
        // The short last piece leaves the tail of the one before.
        QCOMPARE(fillFirmwareChunk(buffer, image, 0x1240), 5);
        QCOMPARE(PedalSim::hex(QByteArray(reinterpret_cast<const char*>(buffer.data()), 20)),
                 PedalSim::hex(QByteArray::fromHex("02812405") + image.mid(0x1240, 5) +
                               image.mid(0x1230 + 5, 11)));
        markFirmwareEnd(buffer);
        QCOMPARE(buffer[1], quint8(0x10));
        QCOMPARE(buffer[4], quint8(image[0x1240]));
        // The last piece of a maximal image.
        QCOMPARE(fillFirmwareChunk(buffer, imageBytes(MAX_IMAGE), MAX_IMAGE - 16), 16);
        QCOMPARE(buffer[1], quint8(0xB7));
        QCOMPARE(buffer[2], quint8(0xFF));

        QVERIFY(Firmware::isFirmwareFileName("a/fw.bin"));
        QVERIFY(!Firmware::isFirmwareFileName("a/fw.BIN"));
        QVERIFY(!Firmware::isFirmwareFileName("a/fw.bin.txt"));
        QVERIFY(Firmware::fitsFirmwareLimit(MAX_IMAGE));
        QVERIFY(!Firmware::fitsFirmwareLimit(MAX_IMAGE + 1));
    }

    // Four complete transfers: each waits four seconds for the device to write.
    void threadTransfers() {
        const QString temporaryCopy = QDir::tempPath() + "/vexo.firmware.bin";
        QCOMPARE(Firmware::temporaryImagePath(), temporaryCopy);

        // Empty image, as the download's temporary copy: only the closing report, the
        // four writing steps a second apart, and the copy is gone.
        writeFile(temporaryCopy, QByteArray());
        {
            VexoUpgrade thread;
            thread.firmwarePath = temporaryCopy;
            ProgressLog log(thread);
            QTest::ignoreMessage(QtDebugMsg, qPrintable("Upgrading..." + temporaryCopy));
            DeviceHandle::open();
            thread.start();
            QVERIFY(thread.wait(10000));
            QCOMPARE(log.all(), (QList<int>{97, 98, 99, 100}));
            const QList<qint64> at = log.stamps();
            QVERIFY2(at[0] >= 990 && at[0] < 2000, qPrintable(QString::number(at[0])));
            for (int k = 1; k < 4; ++k)
                QVERIFY2(at[k] - at[k - 1] >= 990 && at[k] - at[k - 1] < 2000,
                         qPrintable(QString::number(at[k] - at[k - 1])));
            QCOMPARE(thread.outcome(), VexoUpgrade::Outcome::Written);
        }
        QCOMPARE(sentHex(), QStringList{reportHex("0210")});
        QCOMPARE(PedalSim::firmwareEnds(), 1);
        QVERIFY(PedalSim::firmwareImage().isEmpty());
        QVERIFY(!QFile::exists(temporaryCopy));

        // 16 bytes from the user's folder: one data report; the file stays.
        const QByteArray sixteen = imageBytes(16, 2);
        writeFile(userDir + "/sixteen.bin", sixteen);
        PedalSim::clearLog();
        QCOMPARE(runUpload(userDir + "/sixteen.bin"), (QList<int>{0, 97, 98, 99, 100}));
        QCOMPARE(sentHex(),
                 (QStringList{PedalSim::hex(QByteArray::fromHex("02800010") + sixteen),
                              PedalSim::hex(QByteArray::fromHex("02100010") + sixteen)}));
        QCOMPARE(PedalSim::firmwareImage(), sixteen);
        QVERIFY(QFile::exists(userDir + "/sixteen.bin"));

        // 17 bytes, in a folder whose path starts with the temporary folder's: the file
        // is the user's and stays. The second piece keeps bytes 5..19 of the first.
        const QString beside = QDir::tempPath() + "x/seventeen.bin";
        const QByteArray seventeen = imageBytes(17, 3);
        writeFile(beside, seventeen);
        PedalSim::clearLog();
        QCOMPARE(runUpload(beside), (QList<int>{0, 90, 97, 98, 99, 100}));
        const QByteArray second =
            QByteArray::fromHex("02800101") + seventeen.mid(16, 1) + seventeen.mid(1, 15);
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
        QCOMPARE(runUpload(inside), (QList<int>{0, 15, 30, 46, 61, 76, 92, 97, 98, 99, 100}));
        const QStringList reports = sentHex();
        QCOMPARE(reports, transferReports(hundred));
        QCOMPARE(reports.size(), 8);
        for (int k = 0; k < 6; ++k)
            QCOMPARE(reports[k].mid(9, 2), QStringLiteral("10"));
        QCOMPARE(reports[6].mid(0, 11), QStringLiteral("02 80 06 04"));
        QCOMPARE(PedalSim::firmwareImage(), hundred);
        QVERIFY(QFile::exists(inside));
        QCOMPARE(PedalSim::firmwareChunks(), 1 + 2 + 7);
        QCOMPARE(PedalSim::firmwareEnds(), 4);
    }

    void threadEndsWithoutSending() {
        // No device: nothing sent, nothing emitted.
        writeFile(userDir + "/a.bin", imageBytes(32));
        DeviceHandle::close();
        {
            VexoUpgrade thread;
            thread.firmwarePath = userDir + "/a.bin";
            ProgressLog log(thread);
            thread.start();
            QVERIFY(thread.wait(2000));
            QCOMPARE(log.all(), QList<int>());
            QCOMPARE(thread.outcome(), VexoUpgrade::Outcome::NoDevice);
        }
        QVERIFY(DeviceHandle::open());
        // A file that cannot be opened.
        {
            VexoUpgrade thread;
            thread.firmwarePath = userDir + "/missing.bin";
            ProgressLog log(thread);
            QTest::ignoreMessage(QtDebugMsg, "Can not open upgrade firmware file.");
            thread.start();
            QVERIFY(thread.wait(2000));
            QCOMPARE(log.all(), QList<int>());
            QCOMPARE(thread.outcome(), VexoUpgrade::Outcome::Unreadable);
        }
        // A file that grew past the limit after the window checked it.
        writeFile(userDir + "/grown.bin", imageBytes(MAX_IMAGE + 1));
        QCOMPARE(runUpload(userDir + "/grown.bin"), QList<int>());
        QVERIFY(PedalSim::sentReports().empty());

        // A failed data report: the failure is the last value, the device is not told
        // to write, and the download's copy is removed all the same.
        const QString copy = Firmware::temporaryImagePath();
        const QByteArray image = imageBytes(64);
        writeFile(copy, image);
        PedalSim::failSend(3);
        {
            VexoUpgrade thread;
            thread.firmwarePath = copy;
            ProgressLog log(thread);
            thread.start();
            QVERIFY(thread.wait(2000));
            QCOMPARE(log.all(), (QList<int>{0, 24, -1}));
            QCOMPARE(thread.outcome(), VexoUpgrade::Outcome::SendFailed);
        }
        QCOMPARE(sentHex(), transferReports(image).mid(0, 2));
        QCOMPARE(PedalSim::firmwareEnds(), 0);
        QVERIFY(!QFile::exists(copy));

        // A failed closing report is no success either.
        PedalSim::clearLog();
        writeFile(userDir + "/b.bin", image);
        PedalSim::failSend(5);
        QCOMPARE(runUpload(userDir + "/b.bin"), (QList<int>{0, 24, 48, 72, -1}));
        QCOMPARE(sentHex(), transferReports(image).mid(0, 4));
        QCOMPARE(PedalSim::firmwareEnds(), 0);
    }

    void pageTexts() {
        auto w = openDevicePage();
        QVERIFY(pageAtRest(*w));
        auto* bar = widget<QProgressBar>(*w, "pgUpgrade");
        auto* status = widget<QLabel>(*w, "lbUpgrade");
        auto* md5 = widget<QLabel>(*w, "lbCurMd5");
        md5->setText("MD5: 00ff");
        widget<QLabel>(*w, "lbCurVersion")->setText("Version: x");

        QMetaObject::invokeMethod(w.get(), "onProgress", Q_ARG(int, 96));
        QCOMPARE(status->text(), QStringLiteral("Uploading ..."));
        QCOMPARE(bar->value(), 96);
        QVERIFY(!bar->isHidden() && !status->isHidden());
        QMetaObject::invokeMethod(w.get(), "onProgress", Q_ARG(int, 97));
        QCOMPARE(status->text(), QStringLiteral("Writing ..."));
        QCOMPARE(bar->value(), 97);

        // 100 puts the page at rest before the notice comes up.
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        bool restBehindBox = false;
        answerer.inspect = [&](QMessageBox*) {
            restBehindBox = pageAtRest(*w);
        };
        QMetaObject::invokeMethod(w.get(), "onProgress", Q_ARG(int, 100));
        QCOMPARE(answerer.seen, QStringList{SUCCESS});
        QVERIFY(restBehindBox);
        QVERIFY(pageAtRest(*w));
        QCOMPARE(md5->text(), QStringLiteral("MD5: 00ff")); // hidden, kept for the download
    }

    void fileDialog() {
        auto w = openDevicePage();
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
            // Typed into the name field, then Open.
            widget<QLineEdit>(*dialog, "fileNameEdit")->setText(userDir + "/chosen.bin");
            static_cast<QDialog*>(dialog)->accept();
        });
        button(*w, "pbPath")->click();
        QCOMPARE(path->text(), userDir + "/chosen.bin");
    }

    void refusedFiles() {
        auto w = openDevicePage();
        auto* path = widget<QLineEdit>(*w, "lePath");
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        PedalSim::clearLog();

        writeFile(userDir + "/big.bin", imageBytes(MAX_IMAGE + 1));
        writeFile(userDir + "/caps.BIN", imageBytes(16));
        for (const QString& file : {userDir + "/big.bin", userDir + "/caps.BIN"}) {
            answerer.seen.clear();
            path->setText(file);
            button(*w, "pbUpgrade")->click();
            QCOMPARE(answerer.seen, QStringList{NOT_VALID});
            QVERIFY(!MainWindowTest::upgradeThread(*w).isRunning());
            QVERIFY(pageAtRest(*w));
        }
        QVERIFY(PedalSim::sentReports().empty());

        // A name that passes but names no file, or a plain http address: the thread ends
        // without sending, and the user hears of it.
        for (const QString& file : {userDir + "/none.bin", QStringLiteral("http://x/fw.bin")}) {
            answerer.seen.clear();
            path->setText(file);
            QTest::ignoreMessage(QtDebugMsg, qPrintable("Start upgrade from " + file));
            QTest::ignoreMessage(QtDebugMsg, qPrintable("Upgrading..." + file));
            QTest::ignoreMessage(QtDebugMsg, "Can not open upgrade firmware file.");
            button(*w, "pbUpgrade")->click();
            QTRY_COMPARE(answerer.seen, QStringList{"Error|Can not open the firmware file."});
            QVERIFY(pageAtRest(*w));
        }
        QVERIFY(PedalSim::sentReports().empty());
    }

    void noDevice() {
        auto w = openDevicePage();
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        PedalSim::clearLog();

        writeFile(userDir + "/c.bin", imageBytes(40));
        widget<QLineEdit>(*w, "lePath")->setText(userDir + "/c.bin");
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Start upgrade from " + userDir + "/c.bin"));
        QMetaObject::invokeMethod(w.get(), "onUpgrade");
        QTRY_COMPARE(answerer.seen,
                     QStringList{"Error|No device is connected. The firmware was not sent."});
        QVERIFY(pageAtRest(*w));

        answerer.seen.clear();
        QMetaObject::invokeMethod(w.get(), "onClearFlash");
        QCOMPARE(answerer.seen,
                 QStringList{"Error|No device is connected. The flash data was not cleared."});
        QVERIFY(PedalSim::sentReports().empty());
    }

    void failedTransfers() {
        auto w = openDevicePage();
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        const QByteArray image = imageBytes(100, 5);
        writeFile(userDir + "/d.bin", image);
        widget<QLineEdit>(*w, "lePath")->setText(userDir + "/d.bin");

        // The third data report fails: two arrived, no closing report, an error, and
        // never the success notice.
        PedalSim::clearLog();
        PedalSim::failSend(3);
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{SEND_FAILED});
        QVERIFY(pageAtRest(*w));
        QCOMPARE(sentHex(), transferReports(image).mid(0, 2));
        QTRY_VERIFY(!MainWindowTest::upgradeThread(*w).isRunning());
        QTest::qWait(1500);
        QCOMPARE(answerer.seen, QStringList{SEND_FAILED});
        QCOMPARE(PedalSim::firmwareEnds(), 0);

        // The closing report fails.
        answerer.seen.clear();
        PedalSim::clearLog();
        PedalSim::failSend(8);
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{SEND_FAILED});
        QCOMPARE(sentHex(), transferReports(image).mid(0, 7));
        QCOMPARE(PedalSim::firmwareEnds(), 0);

        // The device goes away in the middle: the window waits for it again and says the
        // update failed.
        QTRY_VERIFY(!MainWindowTest::upgradeThread(*w).isRunning());
        answerer.seen.clear();
        PedalSim::clearLog();
        PedalSim::unplugAtFeatureReport(4);
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{SEND_FAILED});
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QCOMPARE(sentHex(), transferReports(image).mid(0, 3));
        QCOMPARE(PedalSim::firmwareEnds(), 0);
    }

    // The largest image through the window, with everything that must wait for it.
    void maximalImageThroughWindow() {
        auto w = openDevicePage();
        const QByteArray image = imageBytes(MAX_IMAGE, 6);
        const QString file = userDir + "/max.bin";
        writeFile(file, image);
        widget<QLineEdit>(*w, "lePath")->setText(file);
        VexoUpgrade& thread = MainWindowTest::upgradeThread(*w);
        ProgressLog log(thread);
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        PedalSim::clearLog();
        PedalSim::setReportDelay(std::chrono::microseconds(100));

        QTest::ignoreMessage(QtDebugMsg, qPrintable("Start upgrade from " + file));
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Upgrading..." + file));
        button(*w, "pbUpgrade")->click();
        QVERIFY(thread.isRunning());
        QTRY_COMPARE(widget<QLabel>(*w, "lbUpgrade")->text(), QStringLiteral("Uploading ..."));
        QVERIFY(!widget(*w, "pgUpgrade")->isHidden());

        // While it runs: no second upload, no check, no clearing, and no close.
        button(*w, "pbUpgrade")->click();
        button(*w, "pbAutoUpgrade")->click();
        button(*w, "pbClearFlash")->click();
        button(*w, "pbClose")->click();
        QVERIFY(!w->close());
        QCOMPARE(answerer.seen, (QStringList{BUSY, BUSY, BUSY, BUSY, BUSY}));
        QVERIFY(w->isVisible());
        QVERIFY(MainWindowTest::eventThread(*w).isRunning());
        QVERIFY(thread.isRunning());

        PedalSim::setReportDelay(std::chrono::microseconds(0));
        QTRY_COMPARE_WITH_TIMEOUT(widget<QLabel>(*w, "lbUpgrade")->text(),
                                  QStringLiteral("Writing ..."), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), 6, 10000);
        QCOMPARE(answerer.seen.last(), SUCCESS);
        QVERIFY(pageAtRest(*w));

        QList<int> expected;
        for (int p = 0; p < 96; ++p)
            expected << p;
        expected << 97 << 98 << 99 << 100;
        QCOMPARE(log.all(), expected);
        QCOMPARE(PedalSim::firmwareChunks(), MAX_IMAGE / 16);
        QCOMPARE(PedalSim::firmwareEnds(), 1);
        QVERIFY(PedalSim::firmwareImage() == image);
        const QStringList sent = sentHex();
        QVERIFY(sent == transferReports(image));
        QVERIFY(QFile::exists(file));

        // Done: the window closes now.
        QTRY_VERIFY(!thread.isRunning());
        button(*w, "pbClose")->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(answerer.seen.size(), 6);
    }

    void windowDestroyedDuringUpload() {
        auto w = openDevicePage();
        const QByteArray image = imageBytes(48, 7);
        writeFile(userDir + "/e.bin", image);
        widget<QLineEdit>(*w, "lePath")->setText(userDir + "/e.bin");
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(PedalSim::firmwareEnds(), 1); // the device is writing now
        PedalSim::clearLog();
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

        // No: nothing sent. The question offers Yes and No, No by default.
        {
            MessageBoxAnswerer answerer(QMessageBox::No);
            bool noByDefault = false;
            answerer.inspect = [&](QMessageBox* box) {
                noByDefault = box->defaultButton() == box->button(QMessageBox::No) &&
                              box->standardButtons() == (QMessageBox::Yes | QMessageBox::No);
            };
            PedalSim::clearLog();
            button(*w, "pbClearFlash")->click();
            QCOMPARE(answerer.seen, QStringList{question});
            QVERIFY(noByDefault);
            QVERIFY(PedalSim::sentReports().empty());
            QCOMPARE(PedalSim::profileName(5), QStringLiteral("MINE"));
        }

        // Yes, but the report fails: the device keeps everything and the user is told.
        {
            MessageBoxAnswerer answerer(QMessageBox::Yes);
            PedalSim::clearLog();
            PedalSim::failSend(1);
            button(*w, "pbClearFlash")->click();
            QCOMPARE(answerer.seen,
                     (QStringList{question, "Error|The device did not accept the command. The "
                                            "flash data was not cleared."}));
            QCOMPARE(PedalSim::keptSetting(0x07), 0u);
            QCOMPARE(PedalSim::profileName(5), QStringLiteral("MINE"));
        }

        // Yes: exactly one erase report; the device is back to its factory state.
        {
            MessageBoxAnswerer answerer(QMessageBox::Yes);
            PedalSim::clearLog();
            button(*w, "pbClearFlash")->click();
            QCOMPARE(answerer.seen, (QStringList{question, "Notify|Flash data has been cleared."}));
            const QStringList sent = sentHex();
            QVERIFY(!sent.isEmpty());
            QCOMPARE(sent.first(), reportHex("020C10"));
            // What follows is the profile lists being read again: queries only.
            for (const QString& report : sent.mid(1))
                QVERIFY2(report.startsWith("02 0B"), qPrintable(report));
            QCOMPARE(PedalSim::keptSetting(0x07), 1u);
            QVERIFY(PedalSim::profile(5).name.startsWith(char(0xFF)));
        }
    }
};

QTEST_MAIN(TestFirmware)
#include "tst_firmware.moc"
