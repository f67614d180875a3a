// The INPUTS and CALIBRATION pages: the live value of each axis, the deadzone tags, the
// clutch mode and the calibration buttons.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QTimer>

#include <algorithm>
#include <optional>

using namespace Protocol;

namespace {
// One frame of a 60 Hz screen: nobody sees the bars change faster.
constexpr qint64 FRAME_MS = 16;
} // namespace

void MainWindow::onJoystickEvent(QByteArray sample) {
    const std::optional<AxisValues> values = pedalSet.takeInput(sample);
    if (!values)
        return;

    // Setting a bar repaints it at once, which at pedal rates would take the GUI thread
    // whole; the newest values go on screen once per frame instead. A sample after a
    // quiet spell is shown on the next turn of the event loop.
    newestInputs = *values;
    if (!inputRefresh.isActive()) {
        const qint64 sinceShown = inputsShown.isValid() ? inputsShown.elapsed() : FRAME_MS;
        inputRefresh.start(int(std::max<qint64>(0, FRAME_MS - sinceShown)));
    }
}

void MainWindow::showInputs() {
    inputsShown.start();
    QLabel* const numbers[] = {ui->lbAdc0, ui->lbAdc1, ui->lbAdc2};
    QProgressBar* const inputBars[] = {ui->pgAdc0, ui->pgAdc1, ui->pgAdc2};
    QProgressBar* const calibrationBars[] = {ui->pgCal0, ui->pgCal1, ui->pgCal2};
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        numbers[axis]->setText(QString::number(newestInputs[axis]));
        inputBars[axis]->setValue(newestInputs[axis]);
        calibrationBars[axis]->setValue(newestInputs[axis]);
    }
}

void MainWindow::showDeadzones() {
    VexoSlider* const tags[] = {ui->lbDzL0, ui->lbDzR0, ui->lbDzL1,
                                ui->lbDzR1, ui->lbDzL2, ui->lbDzR2};
    for (int k = 0; k < BLOCK_VALUES; ++k)
        tags[k]->setValue(settings.deadzones()[k]);
    fitInputBars();
}

void MainWindow::fitInputBars() {
    const struct {
        QLabel* track;
        QProgressBar* bar;
    } axes[] = {{ui->lbAdcB0, ui->pgAdc0}, {ui->lbAdcB1, ui->pgAdc1}, {ui->lbAdcB2, ui->pgAdc2}};
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        const QRect track = axes[axis].track->geometry();
        const int low = settings.deadzones()[2 * axis];
        const int high = settings.deadzones()[2 * axis + 1];
        const int left = track.x() + (low * track.width()) / 100;
        // Deadzones that overlap leave no active part: no bar rather than a negative one.
        const int width = std::max(0, ((100 - low - high) * track.width()) / 100);
        axes[axis].bar->setGeometry(left, track.y(), width, track.height());
    }
}

void MainWindow::onDeadzoneChanged() {
    const PedalSession::Job job(pedalSet, PedalSession::Work::Saving);
    if (!job) {
        showDeadzones(); // the tags go back to what the device holds
        refuseWhileBusy();
        return;
    }
    const PedalSettings::Percents wanted{ui->lbDzL0->value(), ui->lbDzR0->value(),
                                         ui->lbDzL1->value(), ui->lbDzR1->value(),
                                         ui->lbDzL2->value(), ui->lbDzR2->value()};
    // Show what the device now holds.
    if (settings.writeDeadzones(wanted))
        showDeadzones();
    else
        linkFailed();
}

void MainWindow::updateClutchView() {
    const bool on = settings.clutchEnabled();
    ui->cbClutch->setChecked(on);
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
    const PedalSession::Job job(pedalSet, PedalSession::Work::Saving);
    if (!job) {
        updateClutchView();
        refuseWhileBusy();
        return;
    }
    const bool on = ui->cbClutch->isChecked();
    const PedalSettings::ClutchChange change = settings.setClutchEnabled(on);
    updateClutchView();
    if (change == PedalSettings::ClutchChange::Failed) {
        linkFailed();
        return;
    }
    // A clutch calibration cannot go on behind a hidden button: it ends, and the clutch
    // gets back the limits it had.
    if (!on && calibrationRun.runningAxis() == 0) {
        const bool restored = calibrationRun.cancel();
        showCalibration();
        if (!restored)
            linkFailed();
    }
}

void MainWindow::showCalibration() {
    QPushButton* const buttons[] = {ui->pbSave0, ui->pbSave1, ui->pbSave2};
    for (int axis = 0; axis < AXIS_COUNT; ++axis)
        buttons[axis]->setText(calibrationRun.runningAxis() == axis ? tr("SAVE") : tr("CALIBRATE"));
}

void MainWindow::onCalibrateSave(int axis) {
    PedalSession::Job job(pedalSet, PedalSession::Work::Saving);
    if (!job) {
        refuseWhileBusy();
        return;
    }
    const CalibrationRun::Outcome outcome = calibrationRun.press(axis);
    // The deadzones after a save are read below, before the job ends.
    const bool deadzonesRead =
        outcome != CalibrationRun::Outcome::Saved || settings.loadDeadzones();
    job.release();
    showCalibration();
    switch (outcome) {
    case CalibrationRun::Outcome::OtherAxisRunning:
        notify(tr("Please save other channel calibrate first."));
        break;
    case CalibrationRun::Outcome::NothingMeasured:
        notify(tr("No pedal movement was measured. Please move the pedal through its whole "
                  "travel, then press SAVE."));
        break;
    case CalibrationRun::Outcome::Started:
        QTimer::singleShot(options.calibrationSettleMs, this, &MainWindow::onCalibrateWait);
        break;
    case CalibrationRun::Outcome::Saved:
        if (deadzonesRead)
            showDeadzones();
        else
            linkFailed();
        break;
    case CalibrationRun::Outcome::LinkFailed:
        linkFailed();
        break;
    }
}

void MainWindow::onCalibrateWait() {
    calibrationRun.settle();
}
