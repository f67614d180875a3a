#include "firmware/firmwareupdate.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>

namespace {
const QLatin1String SECURE_SCHEME("https://");

// Writes a file of our own at path. Whatever was there goes first, and the file is made
// anew: a link someone placed at the path is not followed. Only we may read or write it.
bool writeNewFile(const QString& path, const QByteArray& data) {
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    const bool written = file.write(data) == data.size() && file.flush();
    file.close();
    if (!written)
        file.remove();
    return written;
}
} // namespace

FirmwareUpdate::FirmwareUpdate(QObject* parent)
    : QObject(parent)
    , network(this) {}

FirmwareUpdate::~FirmwareUpdate() {
    // The device must not be left with half an image.
    upload.wait();
}

QNetworkReply* FirmwareUpdate::startCheck() {
    if (!isIdle())
        return nullptr;
    current = Stage::Checking;
    return network.get(
        Firmware::updateRequest(QUrl(server + QStringLiteral("version.json"), QUrl::TolerantMode)));
}

FirmwareUpdate::CheckResult FirmwareUpdate::checkReplied(QNetworkReply* reply) {
    current = Stage::Idle;
    // No network, a refused connection or redirect, an untrusted certificate, a timeout or
    // an HTTP error: the user is told, where a silent return would look like no update.
    if (reply->error() != QNetworkReply::NoError) {
        offer = Firmware::UpdateInfo();
        lastCheckError = reply->errorString();
        return CheckResult::Unreachable;
    }
    offer = Firmware::readUpdateInfo(reply->readAll());
    if (!offer.isObject)
        return CheckResult::Silent;
    qDebug() << offer.object;
    const Firmware::UpdateVerdict verdict =
        Firmware::compareBuildTimes(Firmware::deviceBuildTime(deviceVersion), offer.version);
    switch (verdict) {
    case Firmware::UpdateVerdict::Invalid:
        return CheckResult::NoValidDevice;
    case Firmware::UpdateVerdict::UpToDate:
        return CheckResult::UpToDate;
    case Firmware::UpdateVerdict::Newer:
        break;
    }
    // The offer keeps the check going: nothing else may start while it is shown.
    current = Stage::Checking;
    return CheckResult::Newer;
}

void FirmwareUpdate::answerOffer(bool accepted) {
    if (!accepted) {
        current = Stage::Idle;
        return;
    }
    imageUrl = server + offer.name;
    expectedDigest = offer.md5;
}

FirmwareUpdate::UpgradeStart
FirmwareUpdate::startUpgrade(const QString& typedPath, const std::function<bool()>& beforeUpload) {
    // The image a download has just stored is the one operation allowed to go on.
    const bool fromDownload = current == Stage::HandingOver;
    if ((!fromDownload && current != Stage::Idle) || upload.isRunning())
        return UpgradeStart::Busy;
    current = Stage::Idle;
    const QString path = fromDownload ? handedOver : typedPath;
    if (path.startsWith(SECURE_SCHEME)) {
        imageUrl = path;
        current = Stage::Checking;
        return UpgradeStart::Download;
    }
    // An empty file is no image: the device would be told to write nothing, and the user
    // that the update succeeded. A file that cannot be opened is reported by the upload.
    const QFileInfo file(path);
    const bool empty = file.exists() && file.size() == 0;
    if (!Firmware::isFirmwareFileName(path) || empty || !Firmware::fitsFirmwareLimit(file.size()))
        return fromDownload ? UpgradeStart::RefusedDownload : UpgradeStart::Refused;
    if (beforeUpload && !beforeUpload())
        return UpgradeStart::Cancelled;
    qDebug().noquote() << QStringLiteral("Start upgrade from ") + path;
    upload.firmwarePath = path;
    current = Stage::Uploading;
    upload.start();
    return UpgradeStart::Started;
}

FirmwareUpdate::DownloadStart FirmwareUpdate::startDownload() {
    if (imageReply || (current != Stage::Idle && current != Stage::Checking) || upload.isRunning())
        return DownloadStart::Busy;
    if (!imageUrl.startsWith(SECURE_SCHEME)) {
        current = Stage::Idle;
        return DownloadStart::NotHttps;
    }
    current = Stage::Downloading;
    imageTooLarge = false;
    imageReply = network.get(Firmware::updateRequest(QUrl(imageUrl, QUrl::TolerantMode)));
    // downloadProgress comes at most every so often and may not come at all before the
    // body ends; what the reply holds, and what it announces, are known at once.
    connect(imageReply, &QNetworkReply::metaDataChanged, this, &FirmwareUpdate::watchImageSize);
    connect(imageReply, &QNetworkReply::readyRead, this, &FirmwareUpdate::watchImageSize);
    return DownloadStart::Started;
}

int FirmwareUpdate::downloadProgress(qint64 received, qint64 total) {
    if (Firmware::downloadTooLarge(received, total)) {
        stopOversizedDownload();
        return -1;
    }
    return Firmware::downloadPercent(received, total);
}

void FirmwareUpdate::watchImageSize() {
    if (!imageReply)
        return;
    const QVariant announced = imageReply->header(QNetworkRequest::ContentLengthHeader);
    if (Firmware::downloadTooLarge(imageReply->bytesAvailable(),
                                   announced.isValid() ? announced.toLongLong() : -1))
        stopOversizedDownload();
}

void FirmwareUpdate::stopOversizedDownload() {
    // No image is that large: stop taking the body in. Aborted from the event loop, not
    // from inside one of the reply's own signals.
    if (!imageReply || imageTooLarge)
        return;
    imageTooLarge = true;
    QMetaObject::invokeMethod(imageReply, &QNetworkReply::abort, Qt::QueuedConnection);
}

FirmwareUpdate::DownloadResult FirmwareUpdate::downloadFinished(QNetworkReply* reply) {
    if (reply != imageReply)
        return DownloadResult::NotOurs;
    imageReply = nullptr;
    const bool failed = reply->error() != QNetworkReply::NoError;
    const QByteArray body = failed ? QByteArray() : reply->readAll();
    current = Stage::Idle;
    if (imageTooLarge || !Firmware::fitsFirmwareLimit(body.size()))
        return DownloadResult::TooLarge;
    if (failed || !Firmware::digestMatches(body, expectedDigest))
        return DownloadResult::Failed;
    const QString path = Firmware::temporaryImagePath();
    if (!writeNewFile(path, body))
        return DownloadResult::NotWritten;
    handedOver = path;
    current = Stage::HandingOver;
    return DownloadResult::Stored;
}

VexoUpgrade::Outcome FirmwareUpdate::uploadEnded() {
    current = Stage::Idle;
    return upload.outcome();
}
