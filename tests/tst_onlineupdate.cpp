// The online update through the window, against a local HTTPS server: the texts the user
// sees and the road from the check to the device.
#include "tests/firmwarefixture.h"

#include "firmware/updatecheck.h"
#include "tests/webserver.h"

#include <QLineEdit>
#include <QNetworkReply>
#include <QTemporaryDir>

namespace {

const QString OFFER = QStringLiteral("Update|A new firmware is available, update now?");
const QString UP_TO_DATE = QStringLiteral("Update|Your firmware is already up to date.");
const QString NO_DEVICE = QStringLiteral("Update|No valid device.");
const QString DOWNLOAD_FAIL = QStringLiteral("Error|Download file fail.");
} // namespace

class TestOnlineUpdate : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    UpdateServers servers;
    WebServer& trusted = servers.trusted;
    QString temporaryCopy;

    std::unique_ptr<MainWindow> openUpdatePage(const QString& baseUrl) {
        WindowOptions options = testOptions();
        options.updateBaseUrl = baseUrl;
        auto w = openWindow(options);
        button(*w, "pbS4")->click();
        PedalSim::clearLog();
        return w;
    }

    // Clicks CHECK UPDATE with version.json answered so; the boxes seen until the page
    // is back at rest.
    QStringList check(MainWindow& w, MessageBoxAnswerer& answerer, const Answer& versionFile) {
        trusted.routes[VERSION_PATH] = versionFile;
        answerer.seen.clear();
        button(w, "pbAutoUpgrade")->click();
        if (button(w, "pbAutoUpgrade")->isEnabled() ||
            button(w, "pbAutoUpgrade")->text() != QStringLiteral("Checking ..."))
            return {QStringLiteral("check did not start")};
        if (!QTest::qWaitFor([&] { return pageAtRest(w); }, 10000))
            return {QStringLiteral("page did not come to rest")};
        return answerer.seen;
    }

    void setPath(MainWindow& w, const QString& path) {
        widget<QLineEdit>(w, "lePath")->setText(path);
    }

private slots:
    void initTestCase() {
        temporaryCopy = useTemporaryFolder(base.path());
        QVERIFY(servers.start(base.path()));
    }

    void init() {
        freshPedalSet();
        servers.clear();
    }

    void cleanup() {
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
        QCOMPARE(PedalSim::closedHandleUses(), 0);
        QVERIFY(!QFileInfo(temporaryCopy).exists() && !QFileInfo(temporaryCopy).isSymLink());
    }

    // The whole road: check, offer, download, digest, temporary copy, upload, success.
    void updateAcceptedThroughToDevice() {
        const QByteArray image = imageBytes(1000);
        const QString md5 = Firmware::md5Hex(image).toUpper();
        trusted.routes[VERSION_PATH] = ok(versionJson(
            {{"version", "Mar 4 2023,09:16"}, {"name", "px7-0316.bin"}, {"md5", md5}, {"x", 1}}));
        trusted.routes[IMAGE_PATH] = ok(image);
        // A link someone placed where the copy goes: it must not be written through.
        const QString victim = base.path() + "/victim.txt";
        writeFile(victim, "precious");
        QVERIFY(QFile::link(victim, temporaryCopy));

        auto w = openUpdatePage(trusted.base());
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        button(*w, "pbAutoUpgrade")->click();
        QCOMPARE(button(*w, "pbAutoUpgrade")->text(), QStringLiteral("Checking ..."));

        // Uploading: the page shows the offered version, the check stays busy.
        QTRY_VERIFY_WITH_TIMEOUT(PedalSim::firmwareEnds() == 1, 10000);
        QCOMPARE(widget<QLabel>(*w, "lbCurVersion")->text(),
                 QStringLiteral("Version: Mar 4 2023,09:16"));
        QCOMPARE(widget<QLabel>(*w, "lbCurMd5")->text(), "MD5: " + md5);
        QCOMPARE(widget<QLineEdit>(*w, "lePath")->text(), temporaryCopy);
        QVERIFY(!button(*w, "pbAutoUpgrade")->isEnabled() && widget(*w, "lbCurMd5")->isHidden());
        QTRY_COMPARE(widget<QLabel>(*w, "lbUpgrade")->text(), QStringLiteral("Writing ..."));

        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen, (QStringList{OFFER, SUCCESS}), 10000);
        QVERIFY(pageAtRest(*w));
        QCOMPARE(trusted.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QCOMPARE(PedalSim::firmwareImage(), image);
        QVERIFY(sentHex() == transferReports(image));
        // The copy is gone, and what the link pointed at is untouched.
        QTRY_VERIFY(w->firmwareUpdate().uploadThread().isFinished());
        QVERIFY(!QFileInfo(temporaryCopy).exists() && !QFileInfo(temporaryCopy).isSymLink());
        QFile victimFile(victim);
        QVERIFY(victimFile.open(QIODevice::ReadOnly));
        QCOMPARE(victimFile.readAll(), QByteArray("precious"));
    }

    // Each outcome of a check and of a download, as the user hears of it.
    void outcomeMessages() {
        auto w = openUpdatePage(trusted.base());
        setPath(*w, "user text");
        MessageBoxAnswerer answerer(QMessageBox::No);
        const QString md5 = Firmware::md5Hex("x");
        QCOMPARE(check(*w, answerer, ok(newerVersion(md5))), QStringList{OFFER});
        const auto version = [](const char* time) {
            return ok(versionJson({{"version", time}, {"name", "a.bin"}, {"md5", "00"}}));
        };
        QCOMPARE(check(*w, answerer, version("Mar 4 2023,09:15")), QStringList{UP_TO_DATE});
        QCOMPARE(check(*w, answerer, version("March 4 2023,09:16")), QStringList{NO_DEVICE});
        QCOMPARE(check(*w, answerer, ok("[1,2]")), QStringList());
        QCOMPARE(widget<QLineEdit>(*w, "lePath")->text(), QStringLiteral("user text"));

        answerer.answer = QMessageBox::Yes;
        const QByteArray image = imageBytes(600, 2);
        trusted.routes[IMAGE_PATH] = ok(image);
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex("other")))),
                 (QStringList{OFFER, DOWNLOAD_FAIL}));
        QVERIFY(QDir().mkpath(temporaryCopy + "/x"));
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex(image)))),
                 (QStringList{OFFER, "Error|Can not write to temp."}));
        QVERIFY(QDir(temporaryCopy).removeRecursively());
        const QByteArray tooLarge = imageBytes(MAX_IMAGE + 1, 3);
        trusted.routes[IMAGE_PATH] = ok(tooLarge);
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex(tooLarge)))),
                 (QStringList{OFFER, NOT_VALID}));

        // While a download runs, nothing else starts; its progress moves the bar.
        trusted.routes[IMAGE_PATH] = stalled(image.left(100), image.size());
        setPath(*w, trusted.url(IMAGE_PATH));
        answerer.seen.clear();
        const qsizetype requests = trusted.requests.size();
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(trusted.requests.size(), requests + 1);
        QCOMPARE(widget<QLabel>(*w, "lbUpgrade")->text(), QStringLiteral("Downloading ..."));
        button(*w, "pbUpgrade")->click();
        button(*w, "pbAutoUpgrade")->click();
        QCOMPARE(answerer.seen, (QStringList{BUSY, BUSY}));
        QMetaObject::invokeMethod(w.get(), "onNetProgress", Q_ARG(qint64, 50), Q_ARG(qint64, 200));
        QCOMPARE(widget<QProgressBar>(*w, "pgUpgrade")->value(), 25);
        trusted.dropStalled();
        QTRY_COMPARE(answerer.seen, (QStringList{BUSY, BUSY, DOWNLOAD_FAIL}));
        QVERIFY(pageAtRest(*w));
        QVERIFY(PedalSim::sentReports().empty());
        // Every reply is released once handled.
        QTRY_VERIFY(w->findChildren<QNetworkReply*>().isEmpty());
    }

    // The device goes away before the downloaded image can be sent: the page does not
    // stay at "Checking ...", and the user hears why.
    void deviceGoneBeforeUpload() {
        const QByteArray image = imageBytes(200, 6);
        trusted.routes[IMAGE_PATH] = ok(image);
        auto w = openUpdatePage(trusted.base());
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        PedalSim::unplug();
        QTRY_COMPARE(headText(*w), QStringLiteral("WAITING FOR DEVICE..."));
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex(image)))),
                 (QStringList{OFFER, UPLOAD_NO_DEVICE}));
        QCOMPARE(trusted.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QVERIFY(PedalSim::sentReports().empty());
        QFile::remove(temporaryCopy); // kept for a retry once the device is back
    }
};

QTEST_MAIN(TestOnlineUpdate)
#include "tst_onlineupdate.moc"
