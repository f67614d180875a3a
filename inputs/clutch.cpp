// Clutch mode: the pedal set works with or without its clutch pedal. The check box is the
// program's only copy of the mode; the device keeps it as VEXIE_PEDAL_MODE.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "device/devicelink.h"

#include <QDebug>

void MainWindow::updateClutchView() {
    const bool on = ui->cbClutch->isChecked();
    const std::initializer_list<QWidget*> clutchWidgets = {
        ui->lbAdc0,  ui->lbAdcB0, ui->pgAdc0,     ui->cbPro0,   ui->pgCal0,
        ui->pbSave0, ui->ctAdc0,  ui->pbSavePro0, ui->pbDelPro0};
    for (QWidget* clutchWidget : clutchWidgets)
        clutchWidget->setVisible(on);

    const QString picture = on ? QStringLiteral("border-image: url(:/img/back2.png)")
                               : QStringLiteral("border-image: url(:/img/back.png)");
    ui->lbMain1->setStyleSheet(picture);
    ui->lbMain2->setStyleSheet(picture);
    ui->lbDzL0->setVisible(on);
    ui->lbDzR0->setVisible(on);
}

void MainWindow::onClutch() {
    const quint32 on = ui->cbClutch->isChecked() ? 1 : 0;
    updateClutchView();
    bool known = false;
    if (DeviceLink::readSetting(Protocol::VEXIE_PEDAL_MODE, &known) == on && known)
        return;
    // Written also when the mode could not be read: the user asked for it.
    const bool written = DeviceLink::sendSetting(Protocol::VEXIE_PEDAL_MODE, on, true) >= 0;
    qDebug("deviceSettingWrite VEXIE_PEDAL_MODE");
    // The check box must not claim a mode the device did not take: it shows the old one
    // until the reconnect reads the device's own.
    if (!written) {
        ui->cbClutch->setChecked(!on);
        updateClutchView();
        linkFailed();
    }
}
