// The DEVICE page: firmware from a local .bin file, the upload's progress, and clearing
// the settings the device keeps in its flash.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

void MainWindow::onShowPath() {
    const QString path = dialogs->openFileName(tr("Firmware File (*.bin);;"));
    if (!path.isEmpty())
        ui->lePath->setText(path);
}

void MainWindow::onUpgrade() {
    const QString path = ui->lePath->text();
    // A file the user chose is sent on a Yes; the online update has asked already.
    const bool offered = firmware.stage() == FirmwareUpdate::Stage::HandingOver;
    const auto beforeUpload = [this, path, offered] {
        // Nothing will be sent without a device or a readable file: the upload says so, and
        // nothing needs asking or backing up.
        const QFileInfo image(path);
        if (!pedalSet.isOpen() || !image.isFile() || !image.isReadable())
            return true;
        if (!(offered || confirmUpload(image)) || !backUpProfiles())
            return false;
        uploadBackup = lastBackup; // named at the end, whatever is backed up meanwhile
        return true;
    };
    // From the question on, nothing else reaches the pedal set; the transfer thread holds it
    // from its start to its end.
    const PedalSession::Job job(pedalSet, PedalSession::Work::Upload);
    if (!job) {
        // A downloaded image is not kept waiting for a moment nobody tells it about: the
        // update goes back to rest, and can be checked for again.
        if (offered) {
            firmware.rest();
            resetUpgradePage();
        }
        refuseWhileBusy();
        return;
    }
    switch (firmware.startUpgrade(path, beforeUpload)) {
    case FirmwareUpdate::UpgradeStart::Busy:
        refuseWhileBusy();
        break;
    case FirmwareUpdate::UpgradeStart::Download:
        QTimer::singleShot(0, this, &MainWindow::onNetUpgrade);
        break;
    case FirmwareUpdate::UpgradeStart::Refused:
        showError(tr("Not a valid firmware."));
        break;
    case FirmwareUpdate::UpgradeStart::RefusedDownload:
        showError(tr("Not a valid firmware."));
        // A refused download must not leave the page showing it.
        resetUpgradePage();
        break;
    case FirmwareUpdate::UpgradeStart::Cancelled:
        resetUpgradePage();
        break;
    case FirmwareUpdate::UpgradeStart::Started:
        break;
    }
}

bool MainWindow::confirmUpload(const QFileInfo& image) {
    return dialogs->ask(this, tr("Notify"),
                        tr("Send the firmware file %1 (%2) to the pedal set?\nKeep the pedal set "
                           "plugged in until the update has finished. The profiles are backed "
                           "up first.")
                            .arg(image.fileName(), QLocale().formattedDataSize(image.size())),
                        true);
}

QString MainWindow::backupNote(const QString& backup) const {
    if (backup.isEmpty())
        return QString();
    return QLatin1Char('\n') +
           tr("The profiles as they were are kept in %1.").arg(QDir::toNativeSeparators(backup));
}

void MainWindow::onProgress(int percent) {
    if (percent == 100) {
        resetUpgradePage();
        notify(tr("Firmware updated successfully.") + backupNote(uploadBackup));
        return;
    }
    if (percent < 0) {
        // A report did not arrive; the device was not told to write the image.
        resetUpgradePage();
        showError(tr("Firmware update failed: the device did not accept the data. "
                     "Please check the connection and try again."));
        return;
    }
    ui->lbUpgrade->setText(percent > 96 ? tr("Writing ...") : tr("Uploading ..."));
    ui->pgUpgrade->setValue(percent);
    ui->pgUpgrade->update();
    ui->pgUpgrade->show();
    ui->lbUpgrade->show();
}

void MainWindow::uploadEnded(VexoUpgrade::Outcome outcome) {
    switch (outcome) {
    case VexoUpgrade::Outcome::NoDevice:
        resetUpgradePage();
        showError(tr("No device is connected. The firmware was not sent."));
        break;
    case VexoUpgrade::Outcome::Unreadable:
        resetUpgradePage();
        showError(tr("Can not open the firmware file."));
        break;
    case VexoUpgrade::Outcome::TooLarge:
        resetUpgradePage();
        showError(tr("Not a valid firmware."));
        break;
    case VexoUpgrade::Outcome::NotRun:
    case VexoUpgrade::Outcome::SendFailed:
    case VexoUpgrade::Outcome::Written:
        // Already told through progress.
        break;
    }
}

QString MainWindow::busyText() const {
    const PedalSession::Work work = pedalSet.busyWith();
    // Free, the pedal set is not what is busy: a firmware check or download is.
    if (work == PedalSession::Work::Upload || work == PedalSession::Work::None)
        return tr("A firmware update is in progress. Please wait until it has finished.");
    return tr("The pedal set is busy with another operation of the window. Please wait until "
              "it has finished.");
}

void MainWindow::refuseWhileBusy() {
    dialogs->notice(this, tr("Notify"), busyText());
}

void MainWindow::resetUpgradePage() {
    // Whatever the busy notice waited for is over.
    dialogs->closeNotice();
    ui->pbAutoUpgrade->setEnabled(true);
    ui->pbAutoUpgrade->setText(tr("CHECK UPDATE"));
    ui->pgUpgrade->setValue(0);
    ui->lbCurMd5->hide();
    ui->lbCurVersion->clear();
    ui->pgUpgrade->hide();
    ui->lbUpgrade->hide();
}

void MainWindow::onClearFlash() {
    // A setting write in the middle of an image would reach a device busy with its flash.
    const PedalSession::Job job(pedalSet, PedalSession::Work::Clearing);
    if (!job) {
        refuseWhileBusy();
        return;
    }
    if (!pedalSet.isOpen()) {
        showError(tr("No device is connected. The flash data was not cleared."));
        return;
    }
    const bool confirmed = dialogs->ask(
        this, tr("Notify"),
        tr("Do you want to continue?\nThis operation will delete all the settings stored in "
           "the device flash memory."),
        true);
    if (!confirmed || !backUpProfiles())
        return;
    if (!pedalSet.clearFlash()) {
        showError(tr("The device did not accept the command. The flash data was not cleared."));
        return;
    }
    notify(tr("Flash data has been cleared.") + backupNote(lastBackup));
    // Everything the device keeps is back to its factory state; the INPUTS page shows the
    // clutch mode and deadzones, so they are read again with the profiles.
    const bool reloaded = pedalSet.reload();
    showProfiles();
    updateClutchView();
    if (reloaded)
        showDeadzones();
}
