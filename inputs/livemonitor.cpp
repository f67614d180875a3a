// The live value of each axis: numbers and bars on the INPUTS and CALIBRATION pages, and
// the extremes the calibration measures.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <algorithm>

namespace {
// One frame of a 60 Hz screen: nobody sees the bars change faster.
constexpr qint64 FRAME_MS = 16;
} // namespace

void MainWindow::onJoystickEvent(QByteArray sample) {
    if (sample.size() < Protocol::INPUT_SAMPLE_SIZE)
        return;
    const Protocol::AxisValues values = Protocol::decodeInputSample(sample);

    // Every sample counts for the calibration, also one that is never shown.
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis) {
        const quint16 x = values[axis];
        quint16& low = calRange[2 * axis];
        quint16& high = calRange[2 * axis + 1];
        if (x < low)
            low = x;
        if (x > high)
            high = x;
    }

    // Setting a bar repaints it at once, which at pedal rates would take the GUI thread
    // whole; the newest values go on screen once per frame instead. A sample after a
    // quiet spell is shown on the next turn of the event loop.
    newestInputs = values;
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
    for (int axis = 0; axis < Protocol::AXIS_COUNT; ++axis) {
        numbers[axis]->setText(QString::number(newestInputs[axis]));
        inputBars[axis]->setValue(newestInputs[axis]);
        calibrationBars[axis]->setValue(newestInputs[axis]);
    }
}
