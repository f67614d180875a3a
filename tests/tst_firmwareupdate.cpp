// The firmware update's rules without the window: the check against local update servers,
// the offer, the download and its checks, and which operation may start when.
#include "firmware/firmwareupdate.h"
#include "sim/pedalsim.h"
#include "tests/webserver.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>

using Check = FirmwareUpdate::CheckResult;
using Download = FirmwareUpdate::DownloadResult;
using Start = FirmwareUpdate::UpgradeStart;

namespace {
constexpr qint64 MAX_IMAGE = 229376;
// As the device sends it: the day padded with a space.
const QString DEVICE_VERSION = QStringLiteral("V3.4\tMar  4 2023,09:15");

QByteArray imageBytes(int size, int seed) {
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 37 + seed * 101 + 1) & 0xFF);
    return image;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// The local servers answer at once; this bounds a reply that never comes.
bool finished(QNetworkReply* reply) {
    return reply && QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000);
}
} // namespace

class TestFirmwareUpdate : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    UpdateServers servers;
    QString temporaryCopy;

    // A check of update against the trusted server, version.json answered so.
    Check check(FirmwareUpdate& update, const Answer& versionFile) {
        servers.trusted.routes[VERSION_PATH] = versionFile;
        QNetworkReply* reply = update.startCheck();
        if (!finished(reply))
            qFatal("the check did not end");
        const Check result = update.checkReplied(reply);
        delete reply;
        return result;
    }

    // The image download that follows an accepted offer of md5.
    Download download(FirmwareUpdate& update, const Answer& image, const QString& md5) {
        servers.trusted.routes[IMAGE_PATH] = image;
        if (check(update, ok(newerVersion(md5))) != Check::Newer)
            qFatal("no offer");
        update.answerOffer(true);
        return downloadNow(update);
    }

    Download downloadNow(FirmwareUpdate& update) {
        if (update.startDownload() != FirmwareUpdate::DownloadStart::Started)
            qFatal("the download did not start");
        QNetworkReply* reply = update.imageDownload();
        connect(reply, &QNetworkReply::downloadProgress, this,
                [&update](qint64 r, qint64 t) { update.downloadProgress(r, t); });
        if (!finished(reply))
            qFatal("the download did not end");
        const Download result = update.downloadFinished(reply);
        delete reply;
        return result;
    }

    static std::unique_ptr<FirmwareUpdate> updateFrom(const QString& server) {
        auto update = std::make_unique<FirmwareUpdate>();
        update->setServer(server);
        update->setDeviceVersion(DEVICE_VERSION);
        return update;
    }

private slots:
    void initTestCase() {
        QDir().mkpath(dir.path() + "/tmp");
        qputenv("TMPDIR", QFile::encodeName(dir.path() + "/tmp"));
        temporaryCopy = Firmware::temporaryImagePath();
        QVERIFY(servers.start(dir.path()));
    }
    void init() {
        servers.clear();
        PedalSim::reset();
    }
    void cleanup() { QFile::remove(temporaryCopy); }

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

    void checkOutcomes_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<Check>("result");
        const auto version = [](const QJsonValue& time) {
            return versionJson({{"version", time}, {"name", "a.bin"}, {"md5", "00"}});
        };
        const QByteArray newer = version("Mar 4 2023,09:16");
        QTest::newRow("newer") << DEVICE_VERSION << newer << QByteArray("200 OK") << Check::Newer;
        QTest::newRow("same minute") << DEVICE_VERSION << version("Mar 4 2023,09:15")
                                     << QByteArray("200 OK") << Check::UpToDate;
        QTest::newRow("older") << DEVICE_VERSION << version("Mar 4 2023,09:14")
                               << QByteArray("200 OK") << Check::UpToDate;
        QTest::newRow("long month") << DEVICE_VERSION << version("March 4 2023,09:16")
                                    << QByteArray("200 OK") << Check::NoValidDevice;
        QTest::newRow("number") << DEVICE_VERSION << version(202303041516.0) << QByteArray("200 OK")
                                << Check::NoValidDevice;
        QTest::newRow("no version") << DEVICE_VERSION << version(QJsonValue::Undefined)
                                    << QByteArray("200 OK") << Check::NoValidDevice;
        QTest::newRow("device text without a tab")
            << "V1.0 Mar 4 2023,09:15" << newer << QByteArray("200 OK") << Check::NoValidDevice;
        QTest::newRow("never connected")
            << QString() << newer << QByteArray("200 OK") << Check::NoValidDevice;
        for (const char* body : {"[1,2]", "", "{", "\"Mar 4 2023,09:16\""})
            QTest::newRow(body) << DEVICE_VERSION << QByteArray(body) << QByteArray("200 OK")
                                << Check::Silent;
        QTest::newRow("404") << DEVICE_VERSION << newer << QByteArray("404 Not Found")
                             << Check::Silent;
    }
    void checkOutcomes() {
        QFETCH(QString, device);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, status);
        QFETCH(Check, result);
        auto update = updateFrom(servers.trusted.base());
        update->setDeviceVersion(device);
        QCOMPARE(check(*update, ok(body, status)), result);
        // Only an offer keeps the operation going, until it is answered.
        QCOMPARE(update->stage() == FirmwareUpdate::Stage::Checking, result == Check::Newer);
        update->answerOffer(false);
        QVERIFY(update->isIdle());
        QCOMPARE(servers.trusted.requests, QStringList{VERSION_PATH});
    }

    void downloadOutcomes() {
        auto update = updateFrom(servers.trusted.base());
        const QByteArray image = imageBytes(1000, 1);
        const QString md5 = Firmware::md5Hex(image).toUpper();
        // A link someone placed where the copy goes: it must not be written through.
        const QString victim = dir.path() + "/victim.txt";
        QVERIFY(writeFile(victim, "precious"));
        QVERIFY(QFile::link(victim, temporaryCopy));
        QCOMPARE(download(*update, ok(image), md5), Download::Stored);
        QCOMPARE(update->stage(), FirmwareUpdate::Stage::HandingOver);
        QCOMPARE(update->storedImage(), temporaryCopy);
        QFile copy(temporaryCopy), original(victim);
        QVERIFY(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), image);
        QCOMPARE(original.readAll(), QByteArray("precious"));
        QVERIFY(!QFileInfo(temporaryCopy).isSymLink());
        QFile::remove(temporaryCopy);
        update->rest();

        // The digest of something else, or none offered for a typed address.
        QCOMPARE(download(*update, ok(image), Firmware::md5Hex("other")), Download::Failed);
        auto typed = updateFrom(servers.trusted.base());
        QCOMPARE(typed->startUpgrade(servers.trusted.url(IMAGE_PATH)), Start::Download);
        QCOMPARE(downloadNow(*typed), Download::Failed);
        // Something that is not a file stands where the copy goes.
        QVERIFY(QDir().mkpath(temporaryCopy + "/x"));
        QCOMPARE(download(*update, ok(image), md5), Download::NotWritten);
        QVERIFY(QDir(temporaryCopy).removeRecursively());
        // Too large for the device though the digest matches; bodies that would run on are
        // cut off once past the limit, long before any timeout.
        const QByteArray tooLarge = imageBytes(MAX_IMAGE + 1, 3);
        QCOMPARE(download(*update, ok(tooLarge), Firmware::md5Hex(tooLarge)), Download::TooLarge);
        const QByteArray part = imageBytes(300000, 4);
        for (qint64 announced : {qint64(64) << 20, qint64(-1)})
            QCOMPARE(download(*update, stalled(part, announced), Firmware::md5Hex(part)),
                     Download::TooLarge);
        servers.trusted.dropStalled();
        QVERIFY(update->isIdle());
        QVERIFY(!QFileInfo::exists(temporaryCopy));
    }

    void oneOperationAtATime() {
        auto update = updateFrom(servers.trusted.base());
        servers.trusted.routes[IMAGE_PATH] = stalled("0123", 1000);
        QCOMPARE(update->startUpgrade(servers.trusted.url(IMAGE_PATH)), Start::Download);
        QCOMPARE(update->startUpgrade("x.bin"), Start::Busy);
        QCOMPARE(update->startDownload(), FirmwareUpdate::DownloadStart::Started);
        QVERIFY(update->startCheck() == nullptr);
        QCOMPARE(update->startDownload(), FirmwareUpdate::DownloadStart::Busy);
        QCOMPARE(update->startUpgrade("x.bin"), Start::Busy);
        // Progress: a percentage only with a known total.
        QCOMPARE(update->downloadProgress(50, 200), 25);
        QCOMPARE(update->downloadProgress(50, 0), -1);
        QNetworkReply* reply = update->imageDownload();
        QTRY_COMPARE(servers.trusted.requests, QStringList{IMAGE_PATH});
        servers.trusted.dropStalled();
        QVERIFY(finished(reply));
        QCOMPARE(update->downloadFinished(reply), Download::Failed);
        QVERIFY(update->isIdle());
        // An address that is not https is never fetched.
        auto plain = updateFrom(servers.plain.base());
        plain->answerOffer(true); // nothing was offered: no address
        QCOMPARE(plain->startDownload(), FirmwareUpdate::DownloadStart::NotHttps);
        QVERIFY(plain->isIdle());
        delete reply;
    }

    void upgradeStarts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::addColumn<Start>("start");
        QTest::newRow("largest image") << "max.bin" << int(MAX_IMAGE) << Start::Started;
        QTest::newRow("one byte more") << "big.bin" << int(MAX_IMAGE + 1) << Start::Refused;
        QTest::newRow("upper-case name") << "caps.BIN" << 16 << Start::Refused;
        QTest::newRow("empty") << "empty.bin" << 0 << Start::Refused;
        QTest::newRow("no such file: the upload says so") << "none.bin" << -1 << Start::Started;
    }
    void upgradeStarts() {
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(Start, start);
        const QString path = dir.path() + "/" + name;
        if (size >= 0)
            QVERIFY(writeFile(path, imageBytes(size, 2)));
        FirmwareUpdate update;
        QCOMPARE(update.startUpgrade(path), start);
        if (start == Start::Started) {
            QCOMPARE(update.stage(), FirmwareUpdate::Stage::Uploading);
            QVERIFY(update.uploadThread().wait(5000));
            // No pedal set is open here: nothing was sent.
            QCOMPARE(update.uploadEnded(), VexoUpgrade::Outcome::NoDevice);
        }
        QVERIFY(update.isIdle());
        QVERIFY(PedalSim::sentReports().empty());
    }

    // A server whose certificate nobody trusts is not listened to; redirects from https
    // to plain http are not followed.
    void untrustedServerAndRedirects() {
        const QByteArray image = imageBytes(320, 5);
        const QString md5 = Firmware::md5Hex(image);
        for (WebServer* server : {&servers.trusted, &servers.untrusted, &servers.plain}) {
            server->routes[VERSION_PATH] = ok(newerVersion(md5));
            server->routes[IMAGE_PATH] = ok(image);
        }
        auto untrusted = updateFrom(servers.untrusted.base());
        QNetworkReply* reply = untrusted->startCheck();
        QVERIFY(finished(reply));
        QCOMPARE(untrusted->checkReplied(reply), Check::Silent);
        delete reply;
        QCOMPARE(untrusted->startUpgrade(servers.untrusted.url(IMAGE_PATH)), Start::Download);
        QCOMPARE(downloadNow(*untrusted), Download::Failed);
        QCOMPARE(servers.untrusted.requests, QStringList());

        auto redirected = updateFrom(servers.trusted.base());
        QCOMPARE(check(*redirected, redirect(servers.plain.url(VERSION_PATH))), Check::Silent);
        servers.trusted.routes[IMAGE_PATH] = redirect(servers.plain.url(IMAGE_PATH));
        QCOMPARE(redirected->startUpgrade(servers.trusted.url(IMAGE_PATH)), Start::Download);
        QCOMPARE(downloadNow(*redirected), Download::Failed);
        QCOMPARE(servers.trusted.requests, (QStringList{VERSION_PATH, IMAGE_PATH}));
        QCOMPARE(servers.plain.connections, 0);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareUpdate)
#include "tst_firmwareupdate.moc"
