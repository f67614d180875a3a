// The online update on the DEVICE page: the check, the offer and the image download, whose
// stored image goes on to the upload.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QNetworkReply>
#include <QTimer>

void MainWindow::onAutoUpgrade() {
    QNetworkReply* reply = firmware.startCheck();
    if (!reply) {
        refuseWhileBusy();
        return;
    }
    ui->pbAutoUpgrade->setEnabled(false);
    ui->pbAutoUpgrade->setText(tr("Checking ..."));
    connect(reply, &QNetworkReply::finished, this, &MainWindow::onUpgradeReady);
}

void MainWindow::onUpgradeReady() {
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    dialogs->closeNotice(); // the check a busy notice waited for is over
    switch (firmware.checkReplied(reply)) {
    case FirmwareUpdate::CheckResult::Unreachable:
        dialogs->tell(this, UserDialogs::Kind::Critical, tr("Update"),
                      tr("Can not reach the update server.") + QLatin1Char('\n') +
                          firmware.checkError());
        resetUpgradePage();
        return;
    case FirmwareUpdate::CheckResult::Silent:
        resetUpgradePage();
        return;
    case FirmwareUpdate::CheckResult::NoValidDevice:
        dialogs->tell(this, UserDialogs::Kind::Information, tr("Update"), tr("No valid device."));
        resetUpgradePage();
        return;
    case FirmwareUpdate::CheckResult::UpToDate:
        dialogs->tell(this, UserDialogs::Kind::Information, tr("Update"),
                      tr("Your firmware is already up to date."));
        resetUpgradePage();
        return;
    case FirmwareUpdate::CheckResult::Newer:
        break;
    }
    // A question about an upload: nothing else reaches the pedal set until it is answered.
    const PedalSession::Job job(pedalSet, PedalSession::Work::Upload);
    const bool accepted =
        dialogs->ask(this, tr("Update"), tr("A new firmware is available, update now?"), false);
    firmware.answerOffer(accepted);
    if (!accepted) {
        resetUpgradePage();
        return;
    }
    ui->lePath->setText(firmware.downloadUrl());
    ui->lbCurVersion->setText(tr("Version: ") + firmware.offered().version);
    ui->lbCurMd5->setText(Firmware::digestLabel(firmware.offered().md5));
    QTimer::singleShot(0, this, &MainWindow::onNetUpgrade);
}

void MainWindow::onNetUpgrade() {
    switch (firmware.startDownload()) {
    case FirmwareUpdate::DownloadStart::Busy:
        refuseWhileBusy();
        return;
    case FirmwareUpdate::DownloadStart::NotHttps:
        resetUpgradePage();
        return;
    case FirmwareUpdate::DownloadStart::Started:
        break;
    }
    QNetworkReply* image = firmware.imageDownload();
    connect(image, &QNetworkReply::downloadProgress, this, &MainWindow::onNetProgress);
    connect(image, &QNetworkReply::finished, this, &MainWindow::onNetUpgradeReady);
    ui->pgUpgrade->show();
    ui->lbUpgrade->setText(tr("Downloading ..."));
    ui->lbUpgrade->show();
}

void MainWindow::onNetProgress(qint64 r, qint64 t) {
    const int percent = firmware.downloadProgress(r, t);
    if (percent >= 0)
        ui->pgUpgrade->setValue(percent);
}

void MainWindow::onNetUpgradeReady() {
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    dialogs->closeNotice();
    switch (firmware.downloadFinished(reply)) {
    case FirmwareUpdate::DownloadResult::NotOurs:
        return;
    case FirmwareUpdate::DownloadResult::TooLarge:
        showError(tr("Not a valid firmware."));
        break;
    case FirmwareUpdate::DownloadResult::Failed:
        showError(tr("Download file fail."));
        break;
    case FirmwareUpdate::DownloadResult::NotWritten:
        showError(tr("Can not write to temp."));
        break;
    case FirmwareUpdate::DownloadResult::Stored:
        ui->lePath->setText(firmware.storedImage());
        QTimer::singleShot(0, this, &MainWindow::onUpgrade);
        return;
    }
    resetUpgradePage();
}
