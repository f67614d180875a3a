// The live value of each axis: numbers and bars on the INPUTS and CALIBRATION pages, and
// the extremes the calibration measures.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "device/protocol.h"

void MainWindow::onJoystickEvent(QByteArray sample) {
    if (sample.size() < Protocol::INPUT_SAMPLE_SIZE)
        return;
    const Protocol::AxisValues values = Protocol::decodeInputSample(sample);

    QLabel* const numbers[] = {ui->lbAdc0, ui->lbAdc1, ui->lbAdc2};
    QProgressBar* const inputBars[] = {ui->pgAdc0, ui->pgAdc1, ui->pgAdc2};
    QProgressBar* const calibrationBars[] = {ui->pgCal0, ui->pgCal1, ui->pgCal2};

    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis)
        numbers[axis]->setText(QString::number(values[axis]));
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis) {
        inputBars[axis]->setValue(values[axis]);
        inputBars[axis]->update();
    }
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis) {
        const quint16 x = values[axis];
        calibrationBars[axis]->setValue(x);
        calibrationBars[axis]->update();
        quint16& low = calRange[2 * axis];
        quint16& high = calRange[2 * axis + 1];
        if (x < low)
            low = x;
        if (x > high)
            high = x;
    }
}
