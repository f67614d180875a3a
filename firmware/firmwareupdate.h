// A firmware update from start to end: the check of the update server's version.json
// against the device's build time, the offer, the download with its digest check, the
// hand-over of the stored image and its upload. One operation at a time, from the check or
// the manual start until the upload thread has ended.
#pragma once

#include "firmware/updatecheck.h"
#include "firmware/vexoupgrade.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include <QNetworkReply>

class FirmwareUpdate : public QObject {
    Q_OBJECT
public:
    enum class Stage {
        Idle,
        Checking,    // version.json requested, offer shown, or a download scheduled
        Downloading, // the image is coming
        HandingOver, // image stored, its upload scheduled
        Uploading,   // the upload thread started, its end not yet handled
    };

    explicit FirmwareUpdate(QObject* parent = nullptr);
    ~FirmwareUpdate() override;

    Stage stage() const { return current; }
    // No operation under way, and the end of the last one handled.
    bool isIdle() const { return current == Stage::Idle && !upload.isRunning(); }
    // The device is receiving an image, or has not yet had all its writing time.
    bool isUploading() const { return current == Stage::Uploading || upload.isRunning(); }
    VexoUpgrade& uploadThread() { return upload; }
    const VexoUpgrade& uploadThread() const { return upload; }

    // Learnt at each connection: where the server is, and the device's version text
    // (its build time follows the first tab).
    void setServer(const QString& baseUrl) { server = baseUrl; }
    void setDeviceVersion(const QString& versionText) { deviceVersion = versionText; }

    // The version.json request; null while another operation runs.
    QNetworkReply* startCheck();
    enum class CheckResult {
        Unreachable,   // no answer, or an HTTP error: checkError() says why
        Silent,        // an answer that is not a JSON object: back to rest without a word
        NoValidDevice, // a build time does not parse
        UpToDate,
        Newer, // offered(): the operation waits for answerOffer()
    };
    CheckResult checkReplied(QNetworkReply* reply);
    // Qt's reason for the last check's Unreachable.
    QString checkError() const { return lastCheckError; }
    const Firmware::UpdateInfo& offered() const { return offer; }
    // Accepted, the offered image is the next download, checked against the offered digest.
    void answerOffer(bool accepted);
    QString downloadUrl() const { return imageUrl; }

    enum class UpgradeStart {
        Busy,
        Download,        // an https address: startDownload() is next
        Refused,         // not a valid firmware file
        RefusedDownload, // the downloaded image is not a valid firmware file
        Started,
        Cancelled, // beforeUpload called it off
    };
    // The typed path, or the image a download has just stored. Once the image is found fit
    // to send, beforeUpload may still call the upload off by returning false.
    UpgradeStart startUpgrade(const QString& typedPath,
                              const std::function<bool()>& beforeUpload = nullptr);

    enum class DownloadStart { Busy, NotHttps, Started };
    DownloadStart startDownload();
    // The running image download, to follow its progress; null when none runs.
    QNetworkReply* imageDownload() const { return imageReply; }
    // Percent of the download, -1 while its size is unknown; stops one grown too large.
    int downloadProgress(qint64 received, qint64 total);
    enum class DownloadResult {
        NotOurs, // a reply the update no longer waits for
        TooLarge,
        Failed, // did not arrive, or not the image the digest names
        NotWritten,
        Stored, // storedImage(): its upload is next, through startUpgrade()
    };
    DownloadResult downloadFinished(QNetworkReply* reply);
    QString storedImage() const { return handedOver; }

    // The upload thread has ended: how.
    VexoUpgrade::Outcome uploadEnded();
    // Back to rest after a refusal or a declined offer.
    void rest() { current = Stage::Idle; }

private:
    void watchImageSize();
    void stopOversizedDownload();

    Stage current = Stage::Idle;
    VexoUpgrade upload;
    QNetworkAccessManager network;
    QString server;
    QString deviceVersion;
    Firmware::UpdateInfo offer;
    QString lastCheckError;
    QString imageUrl;
    // Kept from the last accepted offer until the next one.
    QString expectedDigest;
    QPointer<QNetworkReply> imageReply;
    // The download passed the firmware limit and was aborted.
    bool imageTooLarge = false;
    QString handedOver;
};
