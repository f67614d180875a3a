// The pure parts of a firmware update: what a file name, a size, a version.json, a build
// time and a digest mean. Nothing here touches the device, the network or the window.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

namespace Firmware {

// How long a request may go without any data before it is given up.
constexpr int REQUEST_TIMEOUT_MS = 30000;

// Where the downloaded image is kept until it has been sent to the device.
QString temporaryImagePath();
// True only for that very file, not for other files in or beside the temporary folder.
bool isTemporaryImage(const QString& path);

// Firmware images are ".bin" files (case-sensitive) of at most MAX_FIRMWARE_SIZE bytes.
bool isFirmwareFileName(const QString& path);
bool fitsFirmwareLimit(qint64 size);
// A download that has passed, or announces, more than an image can hold.
bool downloadTooLarge(qint64 received, qint64 total);
// Share of a download in percent; -1 while the total is unknown (0 or less).
int downloadPercent(qint64 received, qint64 total);

// version.json: a JSON object with the string members "version", "name" and "md5".
// A missing member or one of another type reads as empty.
struct UpdateInfo {
    bool isObject = false;
    QJsonObject object;
    QString version;
    QString name;
    QString md5;
};
UpdateInfo readUpdateInfo(const QByteArray& body);

// Build times are "MMM d yyyy,hh:mm" with English month names whatever the system's
// language, read as local time. Invalid when the text does not match exactly.
QDateTime parseBuildTime(const QString& text);
// The device's build time from the version label: the field after the first tab, with
// each double space made single (the device pads the day: "Mar  4 2023,09:15").
QString deviceBuildTime(const QString& versionLabel);

enum class UpdateVerdict {
    Invalid,  // one of the times does not parse
    Newer,    // the server's build is later than the device's
    UpToDate, // the device's build is as recent or more recent
};
// Compared to the minute.
UpdateVerdict compareBuildTimes(const QString& deviceTime, const QString& serverTime);

// The label that shows the expected digest reads "MD5: " and the digest.
QString digestLabel(const QString& md5);
// 32 lower-case hex digits.
QString md5Hex(const QByteArray& data);
// The image's digest equals the expected one, in either letter case; never for an empty one.
bool digestMatches(const QByteArray& image, const QString& expected);

// A GET to the update server: bounded in time, and never redirected to plain http.
QNetworkRequest updateRequest(const QUrl& url);

} // namespace Firmware
