// The online update: version.json from the update server, the offer, the download of the
// image with its digest check, and the hand-over to the manual upgrade.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "firmware/updatecheck.h"

#include <QDebug>
#include <QFile>
#include <QNetworkReply>
#include <QTimer>

namespace {
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

void MainWindow::onAutoUpgrade() {
    if (updateStage != UpdateStage::Idle || upgradeThread.isRunning()) {
        refuseWhileBusy();
        return;
    }
    updateStage = UpdateStage::Checking;
    QNetworkReply* reply = networkManager.get(Firmware::updateRequest(
        QUrl(updateBaseUrl + QStringLiteral("version.json"), QUrl::TolerantMode)));
    ui->pbAutoUpgrade->setEnabled(false);
    ui->pbAutoUpgrade->setText(tr("Checking ..."));
    connect(reply, &QNetworkReply::finished, this, &MainWindow::onUpgradeReady);
}

void MainWindow::onUpgradeReady() {
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    // A refused redirect, a certificate that is not trusted or a timeout leaves nothing
    // that could be the document.
    const QByteArray body =
        reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    const Firmware::UpdateInfo info = Firmware::readUpdateInfo(body);
    const auto rest = [this] {
        updateStage = UpdateStage::Idle;
        resetUpgradePage();
    };
    if (!info.isObject) {
        rest();
        return;
    }
    qDebug() << info.object;

    const QString versionLabel = ui->lbVersion->text();
    const Firmware::UpdateVerdict verdict =
        versionLabel.isEmpty()
            ? Firmware::UpdateVerdict::Invalid
            : Firmware::compareBuildTimes(Firmware::deviceBuildTime(versionLabel), info.version);
    updateStage = UpdateStage::Idle;
    switch (verdict) {
    case Firmware::UpdateVerdict::Invalid:
        dialogs->tell(this, UserDialogs::Kind::Information, tr("Update"), tr("No valid device."));
        rest();
        return;
    case Firmware::UpdateVerdict::UpToDate:
        dialogs->tell(this, UserDialogs::Kind::Information, tr("Update"),
                      tr("Your firmware is already up to date."));
        rest();
        return;
    case Firmware::UpdateVerdict::Newer:
        break;
    }
    // The offer keeps the check going: nothing else may start while it is shown.
    updateStage = UpdateStage::Checking;
    if (!dialogs->ask(this, tr("Update"), tr("A new firmware is available, update now?"), false)) {
        rest();
        return;
    }
    ui->lePath->setText(updateBaseUrl + info.name);
    ui->lbCurVersion->setText(tr("Version: ") + info.version);
    ui->lbCurMd5->setText(Firmware::digestLabel(info.md5));
    QTimer::singleShot(0, this, &MainWindow::onNetUpgrade);
}

void MainWindow::onNetUpgrade() {
    if (imageReply || (updateStage != UpdateStage::Idle && updateStage != UpdateStage::Checking) ||
        upgradeThread.isRunning()) {
        refuseWhileBusy();
        return;
    }
    const QString url = ui->lePath->text();
    if (!url.startsWith(QLatin1String("https://"))) {
        updateStage = UpdateStage::Idle;
        resetUpgradePage();
        return;
    }
    updateStage = UpdateStage::Downloading;
    imageTooLarge = false;
    imageReply = networkManager.get(Firmware::updateRequest(QUrl(url, QUrl::TolerantMode)));
    connect(imageReply, &QNetworkReply::downloadProgress, this, &MainWindow::onNetProgress);
    connect(imageReply, &QNetworkReply::finished, this, &MainWindow::onNetUpgradeReady);
    connect(imageReply, &QNetworkReply::metaDataChanged, this, &MainWindow::watchImageSize);
    connect(imageReply, &QNetworkReply::readyRead, this, &MainWindow::watchImageSize);
    ui->pgUpgrade->show();
    ui->lbUpgrade->setText(tr("Downloading ..."));
    ui->lbUpgrade->show();
}

void MainWindow::onNetProgress(qint64 r, qint64 t) {
    if (Firmware::downloadTooLarge(r, t)) {
        stopOversizedDownload();
        return;
    }
    const int percent = Firmware::downloadPercent(r, t);
    if (percent >= 0)
        ui->pgUpgrade->setValue(percent);
}

void MainWindow::watchImageSize() {
    // downloadProgress comes at most every so often and may not come at all before the
    // body ends; what the reply holds, and what it announces, are known at once.
    if (!imageReply)
        return;
    const QVariant announced = imageReply->header(QNetworkRequest::ContentLengthHeader);
    if (Firmware::downloadTooLarge(imageReply->bytesAvailable(),
                                   announced.isValid() ? announced.toLongLong() : -1))
        stopOversizedDownload();
}

void MainWindow::stopOversizedDownload() {
    // No image is that large: stop taking the body in. Aborted from the event loop, not
    // from inside one of the reply's own signals.
    if (!imageReply || imageTooLarge)
        return;
    imageTooLarge = true;
    QMetaObject::invokeMethod(imageReply, &QNetworkReply::abort, Qt::QueuedConnection);
}

void MainWindow::onNetUpgradeReady() {
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    if (reply != imageReply)
        return;
    imageReply = nullptr;
    const bool failed = reply->error() != QNetworkReply::NoError;
    const QByteArray body = failed ? QByteArray() : reply->readAll();
    updateStage = UpdateStage::Idle;

    if (imageTooLarge || !Firmware::fitsFirmwareLimit(body.size())) {
        showError(tr("Not a valid firmware."));
        resetUpgradePage();
        return;
    }
    const QString expected = Firmware::labelDigest(ui->lbCurMd5->text());
    if (failed || !Firmware::digestMatches(body, expected)) {
        showError(tr("Download file fail."));
        resetUpgradePage();
        return;
    }
    const QString path = Firmware::temporaryImagePath();
    if (!writeNewFile(path, body)) {
        showError(tr("Can not write to temp."));
        resetUpgradePage();
        return;
    }
    ui->lePath->setText(path);
    updateStage = UpdateStage::HandingOver;
    QTimer::singleShot(0, this, &MainWindow::onUpgrade);
}
