// The online update against real HTTPS servers on 127.0.0.1: a trusted one with a
// certificate made for this run, one whose certificate nobody trusts, and a plain http one
// that must never be reached.
#include "tests/firmwarefixture.h"

#include "firmware/updatecheck.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>

namespace {

const QString OFFER = QStringLiteral("Update|A new firmware is available, update now?");
const QString UP_TO_DATE = QStringLiteral("Update|Your firmware is already up to date.");
const QString NO_DEVICE = QStringLiteral("Update|No valid device.");
const QString DOWNLOAD_FAIL = QStringLiteral("Error|Download file fail.");
const QString VERSION_PATH = QStringLiteral("/upgrade/pedal/version.json");
const QString IMAGE_PATH = QStringLiteral("/upgrade/pedal/px7-0316.bin");

QByteArray versionJson(const QJsonObject& members) {
    return QJsonDocument(members).toJson();
}

QByteArray newerVersion(const QString& md5) {
    return versionJson({{"version", "Mar 4 2023,09:16"}, {"name", "px7-0316.bin"}, {"md5", md5}});
}

// One canned answer of the tiny HTTP/1.1 responder: status line and headers, the body,
// and whether the connection then stays open with nothing more sent.
struct Answer {
    QByteArray head;
    QByteArray body;
    bool stall = false;
};

Answer ok(const QByteArray& body, const QByteArray& status = "200 OK") {
    return {"HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                "\r\nConnection: close\r\n",
            body};
}

Answer redirect(const QString& location) {
    return {"HTTP/1.1 302 Found\r\nLocation: " + location.toLatin1() +
                "\r\nContent-Length: 0\r\nConnection: close\r\n",
            {}};
}

// Part of a body, then silence. announced: the Content-Length, or -1 for none (the body
// would run until the connection closes).
Answer stalled(const QByteArray& part, qint64 announced) {
    QByteArray head = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    if (announced >= 0)
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    return {head, part, true};
}

// Serves canned answers by path, over TLS or plain TCP, and notes what was asked.
class WebServer : public QObject {
public:
    bool start(const QSslConfiguration* tls) {
        scheme = tls ? "https" : "http";
        if (tls) {
            auto* server = new QSslServer(this);
            server->setSslConfiguration(*tls);
            listener = server;
        } else {
            listener = new QTcpServer(this);
        }
        connect(listener, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = listener->nextPendingConnection())
                serve(socket);
        });
        return listener->listen(QHostAddress::LocalHost, 0);
    }
    QString url(const QString& path) const {
        return QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(scheme)
            .arg(listener->serverPort())
            .arg(path);
    }
    QString base() const { return url("/upgrade/pedal/"); }
    void clear() {
        routes.clear();
        requests.clear();
        connections = 0;
    }
    // Closes the connections that stalled answers left open.
    void dropStalled() {
        for (QTcpSocket* socket : listener->findChildren<QTcpSocket*>())
            socket->abort();
    }

    QHash<QString, Answer> routes;
    QStringList requests;
    int connections = 0;

private:
    void serve(QTcpSocket* socket) {
        ++connections;
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
            received->append(socket->readAll());
            if (!received->contains("\r\n\r\n")) // one request per connection, whole
                return;
            const QString path = QString::fromLatin1(received->split(' ').value(1));
            received->clear();
            requests << path;
            const Answer answer = routes.value(path, ok("missing", "404 Not Found"));
            socket->write(answer.head + "\r\n" + answer.body);
            if (!answer.stall)
                socket->disconnectFromHost();
        });
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(socket, &QTcpSocket::readyRead, Qt::QueuedConnection);
    }

    QTcpServer* listener = nullptr;
    QString scheme;
};

// A key and a self-signed certificate for 127.0.0.1, made with the openssl command.
bool makeCertificate(const QString& stem, QSslConfiguration& tls) {
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-keyout", stem + ".key", "-out", stem + ".crt", "-days", "2", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        qWarning("openssl: %s", openssl.readAll().constData());
        return false;
    }
    QFile key(stem + ".key"), cert(stem + ".crt");
    if (!key.open(QIODevice::ReadOnly) || !cert.open(QIODevice::ReadOnly))
        return false;
    tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
    tls.setLocalCertificate(QSslCertificate(cert.readAll()));
    return !tls.privateKey().isNull() && !tls.localCertificate().isNull();
}

} // namespace

class TestOnlineUpdate : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    WebServer trusted, untrusted, plain;
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
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QSslConfiguration trustedTls, untrustedTls;
        QVERIFY(makeCertificate(base.path() + "/trusted", trustedTls));
        QVERIFY(makeCertificate(base.path() + "/untrusted", untrustedTls));
        // The program's requests use the default configuration: trust this run's server.
        QSslConfiguration defaults = QSslConfiguration::defaultConfiguration();
        defaults.addCaCertificate(trustedTls.localCertificate());
        QSslConfiguration::setDefaultConfiguration(defaults);
        QVERIFY(trusted.start(&trustedTls));
        QVERIFY(untrusted.start(&untrustedTls));
        QVERIFY(plain.start(nullptr));
    }

    void init() {
        freshPedalSet();
        for (WebServer* server : {&trusted, &untrusted, &plain})
            server->clear();
    }

    void cleanup() {
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
        QCOMPARE(PedalSim::closedHandleUses(), 0);
        QVERIFY(!QFileInfo(temporaryCopy).exists() && !QFileInfo(temporaryCopy).isSymLink());
    }

    void pureParts() {
        using namespace Firmware;
        // The device pads the day with a space; one pass makes double spaces single.
        QCOMPARE(deviceBuildTime("Firmware Version:V1.0\tMar  4 2023,09:15"),
                 QStringLiteral("Mar 4 2023,09:15"));
        QCOMPARE(deviceBuildTime(":\tMar 14 2023,09:15\tB2"), QStringLiteral("Mar 14 2023,09:15"));
        QCOMPARE(deviceBuildTime(":\tMar   4 2023,09:15"), QStringLiteral("Mar  4 2023,09:15"));
        QCOMPARE(deviceBuildTime("Firmware Version:V1.0"), QString());

        // English month names whatever the language of the system.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime parsed = parseBuildTime("Mar 4 2023,09:15");
        QLocale::setDefault(before);
        QCOMPARE(parsed, QDateTime(QDate(2023, 3, 4), QTime(9, 15), Qt::LocalTime));
        for (const char* bad :
             {"March 4 2023,09:15", "Mar  4 2023,09:15", "Mar 4 2023,9:15", "Mar 4 2023,09:15:00",
              "Mar 4 2023,09:15 ", "Feb 30 2023,09:15", "Mär 4 2023,09:15", ""})
            QVERIFY2(!parseBuildTime(QString::fromUtf8(bad)).isValid(), bad);
        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "Mar 4 2023,09:16"), UpdateVerdict::Newer);
        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "Jan 1 2024,00:00"), UpdateVerdict::Newer);
        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "Mar 4 2023,09:15"),
                 UpdateVerdict::UpToDate);
        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "Dec 4 2022,12:00"),
                 UpdateVerdict::UpToDate);
        QCOMPARE(compareBuildTimes("", "Mar 4 2023,09:16"), UpdateVerdict::Invalid);

        const UpdateInfo info = readUpdateInfo(R"({"version":"Mar 4 2023,09:16","name":7})");
        QVERIFY(info.isObject && info.version == "Mar 4 2023,09:16");
        QVERIFY(info.name.isEmpty() && info.md5.isEmpty()); // not a string; missing
        for (const char* notObject : {"[1,2]", "", "{", "\"text\"", "null"})
            QVERIFY2(!readUpdateInfo(notObject).isObject, notObject);

        QCOMPARE(md5Hex("abc"), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        QVERIFY(digestMatches("abc", "900150983CD24FB0D6963F7D28E17F72"));
        for (const char* other :
             {"", "x900150983cd24fb0d6963f7d28e17f72", "900150983cd24fb0d6963f7d28e17f7"})
            QVERIFY2(!digestMatches("abc", other), other);
        QCOMPARE(labelDigest(digestLabel("00ff")), QStringLiteral("00ff"));
        QCOMPARE(labelDigest("00ff"), QString());

        QCOMPARE(downloadPercent(199, 200), 99);
        QCOMPARE(downloadPercent(qint64(1) << 40, qint64(1) << 41), 50);
        QVERIFY(downloadPercent(5, 0) == -1 && downloadPercent(5, -1) == -1);
        QVERIFY(!downloadTooLarge(MAX_IMAGE, MAX_IMAGE) && !downloadTooLarge(100, -1));
        QVERIFY(downloadTooLarge(MAX_IMAGE + 1, -1) && downloadTooLarge(0, MAX_IMAGE + 1));

        QVERIFY(isTemporaryImage(QDir::tempPath() + "/./vexo.firmware.bin"));
        for (const QString& other :
             {QDir::tempPath() + "/other.bin", QDir::tempPath() + "2/vexo.firmware.bin", QString()})
            QVERIFY2(!isTemporaryImage(other), qPrintable(other));

        const QNetworkRequest request = updateRequest(QUrl("https://127.0.0.1/x"));
        QVERIFY(request.transferTimeout() >= 5000 && request.transferTimeout() <= 120000);
        QCOMPARE(request.attribute(QNetworkRequest::RedirectPolicyAttribute).toInt(),
                 int(QNetworkRequest::NoLessSafeRedirectPolicy));
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
        QTRY_VERIFY(w->uploadThread().isFinished());
        QVERIFY(!QFileInfo(temporaryCopy).exists() && !QFileInfo(temporaryCopy).isSymLink());
        QFile victimFile(victim);
        QVERIFY(victimFile.open(QIODevice::ReadOnly));
        QCOMPARE(victimFile.readAll(), QByteArray("precious"));
    }

    void checkOutcomes() {
        auto w = openUpdatePage(trusted.base());
        setPath(*w, "user text");
        MessageBoxAnswerer answerer(QMessageBox::No);
        const QString md5 = Firmware::md5Hex("x");
        QCOMPARE(check(*w, answerer, ok(newerVersion(md5))), QStringList{OFFER});
        QCOMPARE(trusted.requests, QStringList{VERSION_PATH}); // declined: no download

        // The device says "\tMar  4 2023,09:15": equal to the minute, or older on the server.
        const auto version = [](const QJsonValue& time) {
            return ok(versionJson({{"version", time}, {"name", "a.bin"}, {"md5", "00"}}));
        };
        QCOMPARE(check(*w, answerer, version("Mar 4 2023,09:15")), QStringList{UP_TO_DATE});
        QCOMPARE(check(*w, answerer, version("Mar 4 2023,09:14")), QStringList{UP_TO_DATE});
        for (const QJsonValue& bad : {QJsonValue("March 4 2023,09:16"), QJsonValue(202303041516.0),
                                      QJsonValue(QJsonValue::Undefined)})
            QCOMPARE(check(*w, answerer, version(bad)), QStringList{NO_DEVICE});

        // Not an object, or not the document at all: back to rest without a word.
        for (const char* body : {"[1,2]", "", "{", "\"Mar 4 2023,09:16\""})
            QCOMPARE(check(*w, answerer, ok(body)), QStringList());
        QCOMPARE(check(*w, answerer, ok(newerVersion(md5), "404 Not Found")), QStringList());

        // A device version text without a tab, or no version at all.
        auto* versionLabel = widget<QLabel>(*w, "lbVersion");
        versionLabel->setText("Firmware Version:V1.0 Mar 4 2023,09:15");
        QCOMPARE(check(*w, answerer, ok(newerVersion(md5))), QStringList{NO_DEVICE});
        versionLabel->clear();
        QCOMPARE(check(*w, answerer, ok(newerVersion(md5))), QStringList{NO_DEVICE});

        QCOMPARE(widget<QLineEdit>(*w, "lePath")->text(), QStringLiteral("user text"));
        QVERIFY(PedalSim::sentReports().empty());
        // Every reply is released once handled.
        QTRY_VERIFY(w->findChildren<QNetworkReply*>().isEmpty());
    }

    void downloadRefusals() {
        auto w = openUpdatePage(trusted.base());
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        const QByteArray image = imageBytes(600, 2);
        trusted.routes[IMAGE_PATH] = ok(image);
        // A typed address while no check has given a digest.
        setPath(*w, trusted.url(IMAGE_PATH));
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{DOWNLOAD_FAIL});
        QVERIFY(pageAtRest(*w));
        // The digest of something else.
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex("other")))),
                 (QStringList{OFFER, DOWNLOAD_FAIL}));
        // Something that is not a file stands where the copy goes.
        QVERIFY(QDir().mkpath(temporaryCopy + "/x"));
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex(image)))),
                 (QStringList{OFFER, "Error|Can not write to temp."}));
        QVERIFY(QDir(temporaryCopy).removeRecursively());

        // Too large for the device, though its digest matches: refused before anything is
        // stored or sent.
        const QByteArray tooLarge = imageBytes(MAX_IMAGE + 1, 3);
        trusted.routes[IMAGE_PATH] = ok(tooLarge);
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex(tooLarge)))),
                 (QStringList{OFFER, NOT_VALID}));
        // Bodies that would run on are cut off once past the limit, long before any timeout.
        const QByteArray part = imageBytes(300000, 4);
        for (qint64 announced : {qint64(64) << 20, qint64(-1)}) {
            trusted.routes[IMAGE_PATH] = stalled(part, announced);
            QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex(part)))),
                     (QStringList{OFFER, NOT_VALID}));
        }
        QVERIFY(PedalSim::sentReports().empty());

        // One download at a time; progress without a total leaves the bar alone.
        trusted.routes[IMAGE_PATH] = stalled(image.left(100), image.size());
        setPath(*w, trusted.url(IMAGE_PATH));
        answerer.seen.clear();
        const int requests = int(trusted.requests.size());
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(trusted.requests.size(), requests + 1);
        QCOMPARE(widget<QLabel>(*w, "lbUpgrade")->text(), QStringLiteral("Downloading ..."));
        button(*w, "pbUpgrade")->click();
        button(*w, "pbAutoUpgrade")->click();
        QCOMPARE(answerer.seen, (QStringList{BUSY, BUSY}));
        auto* bar = widget<QProgressBar>(*w, "pgUpgrade");
        bar->setValue(33);
        for (qint64 total : {0, -1})
            QMetaObject::invokeMethod(w.get(), "onNetProgress", Q_ARG(qint64, 50),
                                      Q_ARG(qint64, total));
        QCOMPARE(bar->value(), 33);
        QMetaObject::invokeMethod(w.get(), "onNetProgress", Q_ARG(qint64, 50), Q_ARG(qint64, 200));
        QCOMPARE(bar->value(), 25);
        trusted.dropStalled();
        QTRY_COMPARE(answerer.seen, (QStringList{BUSY, BUSY, DOWNLOAD_FAIL}));
        QVERIFY(pageAtRest(*w));
        QCOMPARE(trusted.requests.size(), requests + 1);
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

    void untrustedServerAndRedirects() {
        const QByteArray image = imageBytes(320, 5);
        const QString md5 = Firmware::md5Hex(image);
        for (WebServer* server : {&trusted, &untrusted, &plain}) {
            server->routes[VERSION_PATH] = ok(newerVersion(md5));
            server->routes[IMAGE_PATH] = ok(image);
        }
        auto w = openUpdatePage(untrusted.base());
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        // A server whose certificate nobody trusts is not listened to.
        button(*w, "pbAutoUpgrade")->click();
        QTRY_VERIFY(pageAtRest(*w));
        QCOMPARE(answerer.seen, QStringList());
        widget<QLabel>(*w, "lbCurMd5")->setText("MD5: " + md5);
        setPath(*w, untrusted.url(IMAGE_PATH));
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{DOWNLOAD_FAIL});
        QCOMPARE(untrusted.requests, QStringList());

        // Redirects from https to plain http are not followed.
        w.reset(); // one window, one device handle
        w = openUpdatePage(trusted.base());
        trusted.routes[VERSION_PATH] = redirect(plain.url(VERSION_PATH));
        trusted.routes[IMAGE_PATH] = redirect(plain.url(IMAGE_PATH));
        answerer.seen.clear();
        button(*w, "pbAutoUpgrade")->click();
        QTRY_VERIFY(pageAtRest(*w));
        setPath(*w, trusted.url(IMAGE_PATH));
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{DOWNLOAD_FAIL});
        QCOMPARE(trusted.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QTest::qWait(200);
        QCOMPARE(plain.connections, 0);
        QVERIFY(PedalSim::sentReports().empty());
    }
};

QTEST_MAIN(TestOnlineUpdate)
#include "tst_onlineupdate.moc"
