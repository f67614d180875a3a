#include "firmware/updatecheck.h"

#include "device/protocol.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>
#include <QStringList>

namespace Firmware {

namespace {
const QString BUILD_TIME_FORMAT = QStringLiteral("MMM d yyyy,hh:mm");
const QString DIGEST_PREFIX = QStringLiteral("MD5: ");

QString stringMember(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}
} // namespace

QString temporaryImagePath() {
    return QDir::tempPath() + QStringLiteral("/vexo.firmware.bin");
}

bool isTemporaryImage(const QString& path) {
    if (path.isEmpty())
        return false;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(temporaryImagePath()).absoluteFilePath());
}

bool isFirmwareFileName(const QString& path) {
    return path.endsWith(QLatin1String(".bin"), Qt::CaseSensitive);
}

bool fitsFirmwareLimit(qint64 size) {
    return size <= Protocol::MAX_FIRMWARE_SIZE;
}

bool downloadTooLarge(qint64 received, qint64 total) {
    return !fitsFirmwareLimit(received) || !fitsFirmwareLimit(total);
}

int downloadPercent(qint64 received, qint64 total) {
    if (total <= 0)
        return -1;
    return int(received * 100 / total);
}

UpdateInfo readUpdateInfo(const QByteArray& body) {
    UpdateInfo info;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return info;
    info.isObject = true;
    info.object = document.object();
    info.version = stringMember(info.object, "version");
    info.name = stringMember(info.object, "name");
    info.md5 = stringMember(info.object, "md5");
    return info;
}

QDateTime parseBuildTime(const QString& text) {
    // The C locale: the device and the server write English month names.
    return QLocale::c().toDateTime(text, BUILD_TIME_FORMAT);
}

QString deviceBuildTime(const QString& versionLabel) {
    const QStringList fields = versionLabel.split(QLatin1Char('\t'), Qt::KeepEmptyParts);
    QString time = fields.size() > 1 ? fields.at(1) : QString();
    return time.replace(QLatin1String("  "), QLatin1String(" "));
}

UpdateVerdict compareBuildTimes(const QString& deviceTime, const QString& serverTime) {
    const QDateTime device = parseBuildTime(deviceTime);
    const QDateTime server = parseBuildTime(serverTime);
    if (!device.isValid() || !server.isValid())
        return UpdateVerdict::Invalid;
    return device < server ? UpdateVerdict::Newer : UpdateVerdict::UpToDate;
}

QString digestLabel(const QString& md5) {
    return DIGEST_PREFIX + md5;
}

QString md5Hex(const QByteArray& data) {
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

bool digestMatches(const QByteArray& image, const QString& expected) {
    return !expected.isEmpty() && md5Hex(image).compare(expected, Qt::CaseInsensitive) == 0;
}

QNetworkRequest updateRequest(const QUrl& url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(REQUEST_TIMEOUT_MS);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    return request;
}

} // namespace Firmware
