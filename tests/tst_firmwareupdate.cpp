// The firmware update's rules without the window, against local update servers.
#include "firmware/firmwareupdate.h"
#include "tests/firmwarefiles.h"
#include "tests/webserver.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

using Check = FirmwareUpdate::CheckResult;
using Download = FirmwareUpdate::DownloadResult;
using Outcome = VexoUpgrade::Outcome;
using Stage = FirmwareUpdate::Stage;
using Start = FirmwareUpdate::UpgradeStart;

namespace {
// As the device sends it: the day padded with a space.
const QString DEVICE = QStringLiteral("V3.4\tMar  4 2023,09:15");

// The local servers answer at once; this bounds a reply that never comes.
std::unique_ptr<QNetworkReply> finished(QNetworkReply* reply) {
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000))
        qWarning("no answer in time"); // the result of the unfinished reply shows it
    return std::unique_ptr<QNetworkReply>(reply);
}

Check check(FirmwareUpdate& update, WebServer& server, const QByteArray& versionFile,
            const QString& device = DEVICE) {
    server.routes[VERSION_PATH] = versionFile;
    update.setServer(server.base());
    update.setDeviceVersion(device);
    return update.checkReplied(finished(update.startCheck()).get());
}

Download download(FirmwareUpdate& update) {
    if (update.startDownload() != FirmwareUpdate::DownloadStart::Started)
        return Download::NotOurs; // nothing to download
    return update.downloadFinished(finished(update.imageDownload()).get());
}

} // namespace

class TestFirmwareUpdate : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    WebServer trusted, untrusted, plain;
    QString temporaryCopy;

    static QByteArray at(const QJsonValue& time) { return answer(versionJson("00", time)); }

private slots:
    // The whole run in another language: build times stay English.
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        temporaryCopy = useTemporaryFolder(dir.path());
        QVERIFY(plain.start());
        if (underWine()) // the HTTPS servers cannot start; upgrade() needs no server
            return;
        QVERIFY(trusted.start("trusted") && untrusted.start("untrusted"));
        trusted.trust();
        writeFile(dir.filePath("victim"), "precious");
    }
    void init() {
        if (qstrcmp(QTest::currentTestFunction(), "upgrade") != 0)
            SKIP_UNDER_WINE();
        for (WebServer* server : {&trusted, &untrusted, &plain})
            server->requests.clear();
        freshPedalSet();
    }
    void cleanup() { QFile::remove(temporaryCopy) || QDir(temporaryCopy).removeRecursively(); }

    // Build times: the device's after the first tab, day padded; both English; to the minute.
    void checkOutcomes_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<Check>("result");
        const QByteArray newer = at("Mar 4 2023,09:16");
        QTest::newRow("a minute later") << DEVICE << newer << Check::Newer;
        QTest::newRow("same minute") << DEVICE << at("Mar 4 2023,09:15") << Check::UpToDate;
        QTest::newRow("year before") << DEVICE << at("Dec 4 2022,12:00") << Check::UpToDate;
        QTest::newRow("tabs") << "\tMar 14 2023,09:15\t" << newer << Check::UpToDate;
        QTest::newRow("one pass") << ":\tMar   4 2023,09:15" << newer << Check::NoValidDevice;
        QTest::newRow("no tab") << "V1.0 Mar 4 2023,09:15" << newer << Check::NoValidDevice;
        for (const char* bad :
             {"March 4 2023,09:16", "Mar  4 2023,09:16", "Mar 4 2023,9:16", "Mar 4 2023,09:16:00",
              "Mar 4 2023,09:16 ", "Feb 30 2023,09:16", "Mär 4 2023,09:16", "Mrz 4 2023,09:16"})
            QTest::newRow(bad) << DEVICE << at(QString::fromUtf8(bad)) << Check::NoValidDevice;
        QTest::newRow("a number") << DEVICE << at(202303040916.0) << Check::NoValidDevice;
        for (const char* notObject : {"[1,2]", "-", "{", "\"text\"", "null"})
            QTest::newRow(notObject) << DEVICE << answer(notObject) << Check::Silent;
        QTest::newRow("404") << DEVICE << answer(versionJson("00"), "404 Not Found")
                             << Check::Unreachable;
    }
    void checkOutcomes() {
        QFETCH(QString, device);
        QFETCH(QByteArray, versionFile);
        QFETCH(Check, result);
        FirmwareUpdate update;
        QCOMPARE(check(update, trusted, versionFile, device), result);
        // Only an offer keeps the operation going, until it is answered.
        QCOMPARE(update.stage() == Stage::Checking, result == Check::Newer);
        update.answerOffer(false);
        QVERIFY(update.isIdle() && trusted.requests == QStringList{VERSION_PATH});
    }

    // Whatever keeps the answer away, the check says why: Qt's reason is shown.
    void checkErrors_data() {
        QTest::addColumn<QString>("where"); // trusted, untrusted or nowhere
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<QString>("reason");
        const QByteArray good = answer(versionJson("00"));
        QTest::newRow("no server") << "nowhere" << good << "Connection refused";
        QTest::newRow("hung up") << "trusted" << HANG_UP << "Connection closed";
        QTest::newRow("untrusted") << "untrusted" << good << "SSL handshake failed";
        QTest::newRow("500") << "trusted" << answer("", "500 Internal Server Error")
                             << "server replied: Internal Server Error";
    }
    void checkErrors() {
        QFETCH(QString, where);
        QFETCH(QByteArray, versionFile);
        QFETCH(QString, reason);
        FirmwareUpdate update;
        if (where == "nowhere") {
            QTcpServer closed; // a port just given up, where nobody listens
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            update.setServer(QStringLiteral("https://127.0.0.1:%1/").arg(closed.serverPort()));
            closed.close();
            update.setDeviceVersion(DEVICE);
            QCOMPARE(update.checkReplied(finished(update.startCheck()).get()), Check::Unreachable);
        } else {
            QCOMPARE(check(update, where == "trusted" ? trusted : untrusted, versionFile),
                     Check::Unreachable);
        }
        QVERIFY2(update.checkError().contains(reason), qPrintable(update.checkError()));
        QVERIFY(update.isIdle());
    }

    void downloadOutcomes_data() {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("md5"); // offered; null: an address typed in, nothing offered
        QTest::addColumn<Download>("result");
        const QByteArray image = imageBytes(1000), big = imageBytes(MAX_IMAGE + 1, 3),
                         endless = imageBytes(300000, 4);
        const QString md5 = Firmware::md5Hex(image).toUpper(), bigMd5 = Firmware::md5Hex(big);
        QTest::newRow("stored anew") << answer(image) << md5 << Download::Stored;
        QTest::newRow("other digest") << answer(image) << bigMd5 << Download::Failed;
        QTest::newRow("typed, no digest") << answer(image) << QString() << Download::Failed;
        QTest::newRow("404") << answer(image, "404 Not Found") << md5 << Download::Failed;
        QTest::newRow("not writable") << answer(image) << md5 << Download::NotWritten;
        QTest::newRow("too large") << answer(big) << bigMd5 << Download::TooLarge;
        QTest::newRow("announced") << stalled(image, 1 << 26) << md5 << Download::TooLarge;
        QTest::newRow("running on") << stalled(endless, -1) << md5 << Download::TooLarge;
    }
    void downloadOutcomes() {
        QFETCH(QByteArray, response);
        QFETCH(QString, md5);
        QFETCH(Download, result);
        // Where the copy goes, a link placed by someone else, or a folder that cannot be replaced.
        QVERIFY(result != Download::Stored || QFile::link(dir.filePath("victim"), temporaryCopy));
        QVERIFY(result != Download::NotWritten || QDir().mkpath(temporaryCopy + "/x"));
        FirmwareUpdate update;
        trusted.routes[IMAGE_PATH] = response;
        if (md5.isNull())
            QCOMPARE(update.startUpgrade(trusted.url(IMAGE_PATH)), Start::Download);
        else if (check(update, trusted, answer(versionJson(md5))) == Check::Newer)
            update.answerOffer(true);
        QCOMPARE(download(update), result);
        const bool stored = result == Download::Stored;
        QCOMPARE(update.stage(), stored ? Stage::HandingOver : Stage::Idle);
        QCOMPARE(update.storedImage(), stored ? temporaryCopy : QString());
        QCOMPARE(readFile(temporaryCopy), stored ? imageBytes(1000) : QByteArray());
        QVERIFY(!QFileInfo(temporaryCopy).isSymLink() &&
                readFile(dir.filePath("victim")) == "precious");
    }

    // While a download runs nothing else starts; it is stopped once it announces too much.
    void runningDownload() {
        FirmwareUpdate update;
        trusted.routes[IMAGE_PATH] = stalled("0123", 1000);
        QCOMPARE(update.startUpgrade(trusted.url(IMAGE_PATH)), Start::Download);
        QCOMPARE(update.startUpgrade("x.bin"), Start::Busy);
        QCOMPARE(update.startDownload(), FirmwareUpdate::DownloadStart::Started);
        QVERIFY(!update.startCheck() &&
                update.startDownload() == FirmwareUpdate::DownloadStart::Busy);
        QCOMPARE(update.startUpgrade("x.bin"), Start::Busy);
        QVERIFY(update.downloadProgress(199, 200) == 99 && update.downloadProgress(5, 0) == -1);
        QCOMPARE(update.downloadProgress(0, MAX_IMAGE + 1), -1);
        QCOMPARE(update.downloadFinished(finished(update.imageDownload()).get()),
                 Download::TooLarge);
        QVERIFY(update.isIdle());
    }

    // Not listened to: an untrusted certificate, a redirect to plain http, plain http itself.
    void onlyTrustedHttps() {
        const QByteArray image = imageBytes(320, 5);
        const QByteArray versionFile = answer(versionJson(Firmware::md5Hex(image)));
        untrusted.routes[IMAGE_PATH] = plain.routes[IMAGE_PATH] = answer(image);
        FirmwareUpdate update;
        QCOMPARE(check(update, untrusted, versionFile), Check::Unreachable);
        QCOMPARE(update.startUpgrade(untrusted.url(IMAGE_PATH)), Start::Download);
        QCOMPARE(download(update), Download::Failed);
        QCOMPARE(untrusted.requests, QStringList());
        const auto toPlain = [&](const QString& path) {
            return answer({}, "302 Found\r\nLocation: " + plain.url(path).toLatin1());
        };
        QCOMPARE(check(update, trusted, toPlain(VERSION_PATH)), Check::Unreachable);
        trusted.routes[IMAGE_PATH] = toPlain(IMAGE_PATH);
        QCOMPARE(update.startUpgrade(trusted.url(IMAGE_PATH)), Start::Download);
        QCOMPARE(download(update), Download::Failed);
        QCOMPARE(trusted.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QCOMPARE(check(update, plain, versionFile), Check::Newer);
        update.answerOffer(true);
        QCOMPARE(update.startDownload(), FirmwareUpdate::DownloadStart::NotHttps);
        QVERIFY(update.isIdle() && plain.requests == QStringList{VERSION_PATH});
        QCOMPARE(Firmware::updateRequest(QUrl("https://127.0.0.1/")).transferTimeout(),
                 Firmware::REQUEST_TIMEOUT_MS);
    }

    // An upgrade from a file: whether it starts, its progress, the exact reports and its end.
    void upgrade_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("size");   // -1: no such file
        QTest::addColumn<int>("failAt"); // the report that fails
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<Outcome>("outcome");
        QList<int> each96th(96);
        std::iota(each96th.begin(), each96th.end(), 0);
        const QString temp = QDir::tempPath(), user = dir.filePath("user/");
        const auto row = [](const char* tag, const QString& path, int size, int failAt,
                            QList<int> progress, Outcome outcome) {
            if (outcome == Outcome::Written)
                progress << 97 << 98 << 99 << 100;
            QTest::newRow(tag) << path << size << failAt << progress << outcome;
        };
        row("download copy", temporaryCopy, 64, 0, {0, 24, 48, 72}, Outcome::Written);
        row("largest image", user + "max.bin", MAX_IMAGE, 0, each96th, Outcome::Written);
        row("short piece, beside temp", temp + "x/b.bin", 17, 0, {0, 90}, Outcome::Written);
        row("in temp", temp + "/c.bin", 100, 0, {0, 15, 30, 46, 61, 76, 92}, Outcome::Written);
        row("failed piece", temporaryCopy, 64, 3, {0, 24, -1}, Outcome::SendFailed);
        row("failed end", user + "e.bin", 64, 5, {0, 24, 48, 72, -1}, Outcome::SendFailed);
        row("no device", user + "f.bin", 32, 0, {}, Outcome::NoDevice);
        row("no such file", user + "none.bin", -1, 0, {}, Outcome::Unreadable);
        row("a byte more", user + "big.bin", MAX_IMAGE + 1, 0, {}, Outcome::NotRun);
        row("grown since", user + "big.bin", MAX_IMAGE + 1, 0, {}, Outcome::TooLarge);
        row("upper-case name", user + "caps.BIN", 16, 0, {}, Outcome::NotRun);
        row("empty", user + "empty.bin", 0, 0, {}, Outcome::NotRun);
    }
    void upgrade() {
        QFETCH(QString, path);
        QFETCH(int, size);
        QFETCH(int, failAt);
        QFETCH(QList<int>, progress);
        QFETCH(Outcome, outcome);
        const QByteArray image = imageBytes(qMax(size, 0), size);
        if (size >= 0)
            writeFile(path, image);
        QVERIFY(outcome == Outcome::NoDevice || DeviceHandle::open());
        PedalSim::failSend(failAt);
        FirmwareUpdate update;
        VexoUpgrade& thread = update.uploadThread();
        thread.firmwarePath = path;
        thread.writingStepMs = 5;
        QList<int> values;
        connect(
            &thread, &VexoUpgrade::progress, this, [&](int value) { values << value; },
            Qt::DirectConnection);
        // Refused, the thread never runs; too large can only be a file grown since its check.
        if (outcome == Outcome::TooLarge)
            thread.start();
        else
            QCOMPARE(update.startUpgrade(path),
                     outcome == Outcome::NotRun ? Start::Refused : Start::Started);
        QVERIFY(thread.wait(10000));
        QCOMPARE(values, progress);
        QCOMPARE(update.uploadEnded(), outcome);
        // What was sent before a failure; never the closing report after it.
        const qsizetype sent = outcome == Outcome::SendFailed ? failAt - 1 : 0;
        QCOMPARE(sentHex(), transferReports(image).mid(0, outcome == Outcome::Written ? -1 : sent));
        // Only the download's copy goes, once sent.
        QCOMPARE(QFile::exists(path), path != temporaryCopy && size >= 0);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareUpdate)
#include "tst_firmwareupdate.moc"
