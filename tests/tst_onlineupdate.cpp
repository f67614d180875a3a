// The online update against real HTTPS servers on 127.0.0.1: a trusted one with a
// certificate made for this run, one whose certificate nobody trusts, and a plain http one
// that must never be reached.
#include "tests/windowfixture.h"

#include "firmware/updatecheck.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {

constexpr int MAX_IMAGE = 229376;
const QString OFFER = QStringLiteral("Update|A new firmware is available, update now?");
const QString UP_TO_DATE = QStringLiteral("Update|Your firmware is already up to date.");
const QString NO_DEVICE = QStringLiteral("Update|No valid device.");
const QString DOWNLOAD_FAIL = QStringLiteral("Error|Download file fail.");
const QString NOT_VALID = QStringLiteral("Error|Not a valid firmware.");
const QString SUCCESS = QStringLiteral("Notify|Firmware updated successfully.");
const QString BUSY =
    QStringLiteral("Notify|A firmware update is in progress. Please wait until it has finished.");
const QString VERSION_PATH = QStringLiteral("/upgrade/pedal/version.json");
const QString IMAGE_PATH = QStringLiteral("/upgrade/pedal/px7-0316.bin");

QByteArray imageBytes(int size, int seed = 1) {
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 53 + (i >> 9) * 7 + seed * 29 + 3) & 0xFF);
    return image;
}

QByteArray versionJson(const QJsonObject& members) {
    return QJsonDocument(members).toJson();
}

QByteArray newerVersion(const QString& md5) {
    return versionJson({{"version", "Mar 4 2023,09:16"}, {"name", "px7-0316.bin"}, {"md5", md5}});
}

// One canned answer of the tiny HTTP/1.1 responder.
struct Answer {
    QByteArray head; // status line and headers, each ending in CRLF
    QByteArray body;
    bool stall = false; // keep the connection open after the body, sending nothing more
};

Answer ok(const QByteArray& body) {
    return {"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\nConnection: close\r\n",
            body};
}

Answer status(const QByteArray& line, const QByteArray& body) {
    Answer a = ok(body);
    a.head.replace("200 OK", line);
    return a;
}

Answer redirect(const QString& location) {
    return {"HTTP/1.1 302 Found\r\nLocation: " + location.toLatin1() +
                "\r\nContent-Length: 0\r\nConnection: close\r\n",
            QByteArray()};
}

// Part of a body, then silence; announced is the Content-Length (-1: none, the body
// runs until the connection closes).
Answer stalled(const QByteArray& part, qint64 announced) {
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n";
    if (announced >= 0)
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    head += "Connection: close\r\n";
    return {head, part, true};
}

// Serves canned answers by path, over TLS or plain TCP.
class WebServer : public QObject {
public:
    bool start(const QSslConfiguration* tls) {
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
        secure = tls != nullptr;
        return listener->listen(QHostAddress::LocalHost, 0);
    }
    QString base() const {
        return QStringLiteral("%1://127.0.0.1:%2/upgrade/pedal/")
            .arg(secure ? "https" : "http")
            .arg(listener->serverPort());
    }
    QString url(const QString& path) const {
        return QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(secure ? "https" : "http")
            .arg(listener->serverPort())
            .arg(path);
    }
    void clear() {
        routes.clear();
        requests.clear();
        connections = 0;
    }
    // Closes every connection left open by a stalled answer.
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
        socket->setParent(listener);
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
            received->append(socket->readAll());
            if (!received->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> line = received->left(received->indexOf("\r\n")).split(' ');
            received->clear();
            const QString path = line.size() > 1 ? QString::fromLatin1(line[1]) : QString();
            requests << path;
            const Answer answer = routes.value(path, status("404 Not Found", "missing"));
            socket->write(answer.head + "\r\n" + answer.body);
            if (!answer.stall)
                socket->disconnectFromHost();
        });
        // Requests may already be waiting once the handshake is done.
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(socket, &QTcpSocket::readyRead, Qt::QueuedConnection);
    }

    QTcpServer* listener = nullptr;
    bool secure = false;
};

// A key and a self-signed certificate for 127.0.0.1, made with the openssl command.
bool makeCertificate(const QString& dir, const QString& name, QSslConfiguration& tls,
                     QSslCertificate& certificate) {
    const QString keyFile = dir + '/' + name + ".key";
    const QString certFile = dir + '/' + name + ".crt";
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-keyout", keyFile, "-out", certFile, "-days", "2", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        qWarning("openssl: %s", openssl.readAll().constData());
        return false;
    }
    QFile key(keyFile), cert(certFile);
    if (!key.open(QIODevice::ReadOnly) || !cert.open(QIODevice::ReadOnly))
        return false;
    const QSslKey privateKey(key.readAll(), QSsl::Ec);
    certificate = QSslCertificate(cert.readAll());
    if (privateKey.isNull() || certificate.isNull())
        return false;
    tls = QSslConfiguration();
    tls.setLocalCertificate(certificate);
    tls.setPrivateKey(privateKey);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return true;
}

QPushButton* button(QWidget& w, const char* name) {
    return widget<QPushButton>(w, name);
}

bool pageAtRest(QWidget& w) {
    auto* check = button(w, "pbAutoUpgrade");
    return check->isEnabled() && check->text() == QStringLiteral("CHECK UPDATE") &&
           widget(w, "pgUpgrade")->isHidden() && widget(w, "lbUpgrade")->isHidden() &&
           widget<QLabel>(w, "lbCurVersion")->text().isEmpty() && widget(w, "lbCurMd5")->isHidden();
}

} // namespace

class TestOnlineUpdate : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    WebServer trusted, untrusted, plain;
    QString temporaryCopy;

    std::unique_ptr<MainWindow> openUpdatePage(const QString& baseUrl) {
        auto w = openWindow();
        button(*w, "pbS4")->click();
        MainWindowTest::setUpdateBaseUrl(*w, baseUrl);
        PedalSim::clearLog();
        return w;
    }

    // Clicks CHECK UPDATE with version.json answered so, and waits for the page's rest.
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

private slots:
    void initTestCase() {
        QVERIFY(base.isValid());
        QVERIFY(QDir(base.path()).mkpath("tmp"));
        qputenv("TMPDIR", QFile::encodeName(base.path() + "/tmp"));
        temporaryCopy = QDir::tempPath() + "/vexo.firmware.bin";
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

        QSslConfiguration trustedTls, untrustedTls;
        QSslCertificate trustedCert, untrustedCert;
        QVERIFY(makeCertificate(base.path(), "trusted", trustedTls, trustedCert));
        QVERIFY(makeCertificate(base.path(), "untrusted", untrustedTls, untrustedCert));
        // The program's requests use the default configuration: trust this run's server.
        QSslConfiguration defaults = QSslConfiguration::defaultConfiguration();
        defaults.addCaCertificate(trustedCert);
        QSslConfiguration::setDefaultConfiguration(defaults);

        QVERIFY(trusted.start(&trustedTls));
        QVERIFY(untrusted.start(&untrustedTls));
        QVERIFY(plain.start(nullptr));
    }

    void init() {
        DeviceHandle::close();
        PedalSim::reset();
        for (WebServer* server : {&trusted, &untrusted, &plain})
            server->clear();
        QFile::remove(temporaryCopy);
    }

    void cleanup() {
        QCOMPARE(PedalSim::protocolErrors(), QStringList());
        QCOMPARE(PedalSim::closedHandleUses(), 0);
    }

    void pureParts() {
        using namespace Firmware;
        // The device pads the day with a space; one pass makes double spaces single.
        QCOMPARE(deviceBuildTime("Firmware Version:V1.0\tMar  4 2023,09:15"),
                 QStringLiteral("Mar 4 2023,09:15"));
        QCOMPARE(deviceBuildTime("Firmware Version:\tMar 14 2023,09:15\tB2"),
                 QStringLiteral("Mar 14 2023,09:15"));
        QCOMPARE(deviceBuildTime("Firmware Version:V1.0"), QString());
        QCOMPARE(deviceBuildTime("Firmware Version:V1.0\tMar   4 2023,09:15"),
                 QStringLiteral("Mar  4 2023,09:15"));

        // English month names whatever the language of the system.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime parsed = parseBuildTime("Mar 4 2023,09:15");
        QLocale::setDefault(before);
        QCOMPARE(parsed, QDateTime(QDate(2023, 3, 4), QTime(9, 15), Qt::LocalTime));
        QCOMPARE(parseBuildTime("Dec 31 1999,23:59"),
                 QDateTime(QDate(1999, 12, 31), QTime(23, 59), Qt::LocalTime));
        for (const char* bad :
             {"March 4 2023,09:15", "Mar  4 2023,09:15", "Mar 4 2023,9:15", "Mar 4 2023,09:15:00",
              "Mar 4 2023,09:15 ", "Feb 30 2023,09:15", "Mär 4 2023,09:15", ""})
            QVERIFY2(!parseBuildTime(QString::fromUtf8(bad)).isValid(), bad);

        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "Mar 4 2023,09:16"), UpdateVerdict::Newer);
        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "Mar 4 2023,09:15"),
                 UpdateVerdict::UpToDate);
        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "Mar 4 2022,12:00"),
                 UpdateVerdict::UpToDate);
        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "Jan 1 2024,00:00"), UpdateVerdict::Newer);
        QCOMPARE(compareBuildTimes("", "Mar 4 2023,09:16"), UpdateVerdict::Invalid);
        QCOMPARE(compareBuildTimes("Mar 4 2023,09:15", "March 4 2023,09:16"),
                 UpdateVerdict::Invalid);

        const UpdateInfo info =
            readUpdateInfo(R"({"version":"Mar 4 2023,09:16","name":7,"extra":"x"})");
        QVERIFY(info.isObject);
        QCOMPARE(info.version, QStringLiteral("Mar 4 2023,09:16"));
        QCOMPARE(info.name, QString()); // not a string
        QCOMPARE(info.md5, QString());  // missing
        QCOMPARE(info.object.value("extra").toString(), QStringLiteral("x"));
        for (const char* notObject : {"[1,2]", "", "{", "\"text\"", "null"})
            QVERIFY2(!readUpdateInfo(notObject).isObject, notObject);

        const QByteArray image("abc");
        QCOMPARE(md5Hex(image), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        QVERIFY(digestMatches(image, "900150983cd24fb0d6963f7d28e17f72"));
        QVERIFY(digestMatches(image, "900150983CD24FB0D6963F7D28E17F72"));
        QVERIFY(!digestMatches(image, ""));
        QVERIFY(!digestMatches(image, "x900150983cd24fb0d6963f7d28e17f72"));
        QVERIFY(!digestMatches(image, "900150983cd24fb0d6963f7d28e17f7"));
        QVERIFY(!digestMatches("abd", "900150983cd24fb0d6963f7d28e17f72"));
        QCOMPARE(labelDigest(digestLabel("00ff")), QStringLiteral("00ff"));
        QCOMPARE(digestLabel("00ff"), QStringLiteral("MD5: 00ff"));
        QCOMPARE(labelDigest("00ff"), QString());

        QCOMPARE(downloadPercent(50, 200), 25);
        QCOMPARE(downloadPercent(199, 200), 99);
        QCOMPARE(downloadPercent(5, 0), -1);
        QCOMPARE(downloadPercent(5, -1), -1);
        QCOMPARE(downloadPercent(qint64(1) << 40, qint64(1) << 41), 50);
        QVERIFY(!downloadTooLarge(MAX_IMAGE, MAX_IMAGE));
        QVERIFY(!downloadTooLarge(100, -1));
        QVERIFY(downloadTooLarge(MAX_IMAGE + 1, -1));
        QVERIFY(downloadTooLarge(0, MAX_IMAGE + 1));

        QVERIFY(isTemporaryImage(QDir::tempPath() + "/vexo.firmware.bin"));
        QVERIFY(isTemporaryImage(QDir::tempPath() + "/./vexo.firmware.bin"));
        QVERIFY(!isTemporaryImage(QDir::tempPath() + "/other.bin"));
        QVERIFY(!isTemporaryImage(QDir::tempPath() + "2/vexo.firmware.bin"));
        QVERIFY(!isTemporaryImage(QDir::tempPath() + "/sub/vexo.firmware.bin"));
        QVERIFY(!isTemporaryImage(QString()));

        const QNetworkRequest request = updateRequest(QUrl("https://127.0.0.1/x"));
        QCOMPARE(request.transferTimeout(), REQUEST_TIMEOUT_MS);
        QVERIFY(REQUEST_TIMEOUT_MS >= 5000 && REQUEST_TIMEOUT_MS <= 120000);
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
        QFile victimFile(victim);
        QVERIFY(victimFile.open(QIODevice::WriteOnly));
        victimFile.write("precious");
        victimFile.close();
        QVERIFY(QFile::link(victim, temporaryCopy));

        auto w = openUpdatePage(trusted.base());
        auto* path = widget<QLineEdit>(*w, "lePath");
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        bool yesOrNo = false;
        answerer.inspect = [&](QMessageBox* box) {
            if (box->text().startsWith("A new"))
                yesOrNo = box->standardButtons() == (QMessageBox::Yes | QMessageBox::No);
        };
        button(*w, "pbAutoUpgrade")->click();
        QVERIFY(!button(*w, "pbAutoUpgrade")->isEnabled());
        QCOMPARE(button(*w, "pbAutoUpgrade")->text(), QStringLiteral("Checking ..."));

        // Uploading: the page shows the offered version, the check stays busy.
        QTRY_VERIFY_WITH_TIMEOUT(PedalSim::firmwareEnds() == 1, 10000);
        QCOMPARE(widget<QLabel>(*w, "lbCurVersion")->text(),
                 QStringLiteral("Version: Mar 4 2023,09:16"));
        QCOMPARE(widget<QLabel>(*w, "lbCurMd5")->text(), "MD5: " + md5);
        QVERIFY(widget(*w, "lbCurMd5")->isHidden());
        QCOMPARE(path->text(), temporaryCopy);
        QVERIFY(!button(*w, "pbAutoUpgrade")->isEnabled());
        QTRY_COMPARE(widget<QLabel>(*w, "lbUpgrade")->text(), QStringLiteral("Writing ..."));

        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), 2, 10000);
        QCOMPARE(answerer.seen, (QStringList{OFFER, SUCCESS}));
        QVERIFY(yesOrNo);
        QVERIFY(pageAtRest(*w));
        QCOMPARE(trusted.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QCOMPARE(PedalSim::firmwareImage(), image);
        QCOMPARE(PedalSim::firmwareChunks(), 63);
        QCOMPARE(int(PedalSim::sentReports().size()), 64);
        // The copy is gone, and what the link pointed at is untouched.
        QTRY_VERIFY(!MainWindowTest::upgradeThread(*w).isRunning());
        QVERIFY(!QFileInfo(temporaryCopy).exists() && !QFileInfo(temporaryCopy).isSymLink());
        QVERIFY(victimFile.open(QIODevice::ReadOnly));
        QCOMPARE(victimFile.readAll(), QByteArray("precious"));
    }

    void checkOutcomes() {
        auto w = openUpdatePage(trusted.base());
        auto* path = widget<QLineEdit>(*w, "lePath");
        path->setText("user text");
        MessageBoxAnswerer answerer(QMessageBox::No);
        const QString md5 = Firmware::md5Hex("x");

        QCOMPARE(check(*w, answerer, ok(newerVersion(md5))), QStringList{OFFER});
        QCOMPARE(path->text(), QStringLiteral("user text"));
        QCOMPARE(trusted.requests, QStringList{VERSION_PATH}); // declined: no download

        // The device says "\tMar  4 2023,09:15": equal to the minute, or older on the server.
        const auto version = [](const char* time) {
            return ok(versionJson({{"version", time}, {"name", "a.bin"}, {"md5", "00"}}));
        };
        QCOMPARE(check(*w, answerer, version("Mar 4 2023,09:15")), QStringList{UP_TO_DATE});
        QCOMPARE(check(*w, answerer, version("Mar 4 2023,09:14")), QStringList{UP_TO_DATE});
        QCOMPARE(check(*w, answerer, version("March 4 2023,09:16")), QStringList{NO_DEVICE});
        QCOMPARE(check(*w, answerer, ok(versionJson({{"name", "a.bin"}}))), QStringList{NO_DEVICE});
        QCOMPARE(check(*w, answerer, ok(versionJson({{"version", qint64(202303041516)}}))),
                 QStringList{NO_DEVICE});

        // Not an object, or not the document at all: back to rest without a word.
        for (const QByteArray& body : {QByteArray("[1,2]"), QByteArray(), QByteArray("{"),
                                       QByteArray("\"Mar 4 2023,09:16\"")})
            QCOMPARE(check(*w, answerer, ok(body)), QStringList());
        QCOMPARE(check(*w, answerer, status("404 Not Found", newerVersion(md5))), QStringList());

        // A device version text without a tab, or no version at all.
        auto* versionLabel = widget<QLabel>(*w, "lbVersion");
        versionLabel->setText("Firmware Version:V1.0 Mar 4 2023,09:15");
        QCOMPARE(check(*w, answerer, ok(newerVersion(md5))), QStringList{NO_DEVICE});
        versionLabel->clear();
        QCOMPARE(check(*w, answerer, ok(newerVersion(md5))), QStringList{NO_DEVICE});

        QCOMPARE(path->text(), QStringLiteral("user text"));
        QVERIFY(PedalSim::sentReports().empty());
        // Every reply is released once handled.
        QTRY_VERIFY(MainWindowTest::networkManager(*w).findChildren<QNetworkReply*>().isEmpty());
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
                 (QStringList{OFFER, "Error|No device is connected. The firmware was not sent."}));
        QCOMPARE(trusted.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QCOMPARE(PedalSim::firmwareChunks(), 0);
        QVERIFY(PedalSim::sentReports().empty());
    }

    void downloadRefusals() {
        auto w = openUpdatePage(trusted.base());
        auto* path = widget<QLineEdit>(*w, "lePath");
        auto* bar = widget<QProgressBar>(*w, "pgUpgrade");
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        const QByteArray image = imageBytes(600, 2);
        trusted.routes[IMAGE_PATH] = ok(image);

        // A typed address while no check has given a digest.
        path->setText(trusted.url(IMAGE_PATH));
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{DOWNLOAD_FAIL});
        QVERIFY(pageAtRest(*w));

        // The digest of something else.
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex("other")))),
                 (QStringList{OFFER, DOWNLOAD_FAIL}));

        // Too large for the device, though its digest matches: refused before anything is
        // stored or sent.
        const QByteArray tooLarge = imageBytes(MAX_IMAGE + 1, 3);
        trusted.routes[IMAGE_PATH] = ok(tooLarge);
        QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex(tooLarge)))),
                 (QStringList{OFFER, NOT_VALID}));

        // Bodies that would run on: cut off as soon as they pass the limit, long before
        // any timeout.
        const QByteArray part = imageBytes(300000, 4);
        for (qint64 announced : {qint64(64) << 20, qint64(-1)}) {
            trusted.routes[IMAGE_PATH] = stalled(part, announced);
            QCOMPARE(check(*w, answerer, ok(newerVersion(Firmware::md5Hex(part)))),
                     (QStringList{OFFER, NOT_VALID}));
        }
        QVERIFY(PedalSim::sentReports().empty());
        QVERIFY(!QFileInfo(temporaryCopy).exists());

        // One download at a time.
        trusted.routes[IMAGE_PATH] = stalled(image.left(100), image.size());
        path->setText(trusted.url(IMAGE_PATH));
        answerer.seen.clear();
        const int requests = int(trusted.requests.size());
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(widget<QLabel>(*w, "lbUpgrade")->text(), QStringLiteral("Downloading ..."));
        QTRY_COMPARE(trusted.requests.size(), requests + 1);
        button(*w, "pbUpgrade")->click();
        button(*w, "pbAutoUpgrade")->click();
        QCOMPARE(answerer.seen, (QStringList{BUSY, BUSY}));
        QTest::qWait(100);
        QCOMPARE(trusted.requests.size(), requests + 1);
        // Progress without a total leaves the bar where it is.
        bar->setValue(33);
        QMetaObject::invokeMethod(w.get(), "onNetProgress", Q_ARG(qint64, 50), Q_ARG(qint64, 0));
        QMetaObject::invokeMethod(w.get(), "onNetProgress", Q_ARG(qint64, 50), Q_ARG(qint64, -1));
        QCOMPARE(bar->value(), 33);
        QMetaObject::invokeMethod(w.get(), "onNetProgress", Q_ARG(qint64, 50), Q_ARG(qint64, 200));
        QCOMPARE(bar->value(), 25);
        trusted.dropStalled();
        QTRY_COMPARE(answerer.seen, (QStringList{BUSY, BUSY, DOWNLOAD_FAIL}));
        QVERIFY(pageAtRest(*w));
        QVERIFY(PedalSim::sentReports().empty());
    }

    void untrustedServerAndRedirects() {
        const QByteArray image = imageBytes(320, 5);
        const QString md5 = Firmware::md5Hex(image);
        for (WebServer* server : {&trusted, &untrusted, &plain}) {
            server->routes[VERSION_PATH] = ok(newerVersion(md5));
            server->routes[IMAGE_PATH] = ok(image);
        }
        auto w = openUpdatePage(untrusted.base());
        auto* path = widget<QLineEdit>(*w, "lePath");
        MessageBoxAnswerer answerer(QMessageBox::Yes);

        // A server whose certificate nobody trusts is not listened to.
        button(*w, "pbAutoUpgrade")->click();
        QTRY_VERIFY(pageAtRest(*w));
        QCOMPARE(answerer.seen, QStringList());
        widget<QLabel>(*w, "lbCurMd5")->setText("MD5: " + md5);
        path->setText(untrusted.url(IMAGE_PATH));
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{DOWNLOAD_FAIL});
        QCOMPARE(untrusted.requests, QStringList());

        // Redirects from https to plain http are not followed.
        MainWindowTest::setUpdateBaseUrl(*w, trusted.base());
        trusted.routes[VERSION_PATH] = redirect(plain.url(VERSION_PATH));
        answerer.seen.clear();
        button(*w, "pbAutoUpgrade")->click();
        QTRY_VERIFY(pageAtRest(*w));
        QCOMPARE(trusted.requests, QStringList{VERSION_PATH});
        trusted.routes[IMAGE_PATH] = redirect(plain.url(IMAGE_PATH));
        path->setText(trusted.url(IMAGE_PATH));
        button(*w, "pbUpgrade")->click();
        QTRY_COMPARE(answerer.seen, QStringList{DOWNLOAD_FAIL});
        QCOMPARE(trusted.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QTest::qWait(200);
        QCOMPARE(plain.connections, 0);

        QVERIFY(PedalSim::sentReports().empty());
        QCOMPARE(PedalSim::firmwareChunks(), 0);
        QVERIFY(!QFileInfo(temporaryCopy).exists());
    }
};

QTEST_MAIN(TestOnlineUpdate)
#include "tst_onlineupdate.moc"
