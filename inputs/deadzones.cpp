// Deadzones: the device keeps a low and a high limit per axis on a 0..65535 scale; the
// INPUTS page shows them as percentage tags and as input bars shortened to the active part.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "device/devicelink.h"

#include <algorithm>

using namespace Protocol;

bool MainWindow::clutchEnabled() const {
    return !ui->lbDzL0->isHidden() && !ui->lbDzR0->isHidden();
}

bool MainWindow::loadDeadzones() {
    FeatureReport reply{};
    // Zeros from a missing reply would show every upper deadzone at 100 %, and the next
    // drag would write them.
    if (!DeviceLink::query(ITEM_BLOCK, DEADZONE_BLOCK, reply))
        return false;

    VexoSlider* const lower[] = {ui->lbDzL0, ui->lbDzL1, ui->lbDzL2};
    VexoSlider* const upper[] = {ui->lbDzR0, ui->lbDzR1, ui->lbDzR2};
    // A disabled clutch keeps its tags: its deadzone is not in use.
    for (int axis = clutchEnabled() ? 0 : 1; axis < AXIS_COUNT; ++axis) {
        lower[axis]->setValue(deadzoneLowToPercent(blockValue(reply, 2 * axis)));
        upper[axis]->setValue(deadzoneHighToPercent(blockValue(reply, 2 * axis + 1)));
    }
    fitInputBars();
    return true;
}

void MainWindow::fitInputBars() {
    const struct {
        QLabel* track;
        QProgressBar* bar;
        VexoSlider* lower;
        VexoSlider* upper;
    } axes[] = {{ui->lbAdcB0, ui->pgAdc0, ui->lbDzL0, ui->lbDzR0},
                {ui->lbAdcB1, ui->pgAdc1, ui->lbDzL1, ui->lbDzR1},
                {ui->lbAdcB2, ui->pgAdc2, ui->lbDzL2, ui->lbDzR2}};
    for (const auto& axis : axes) {
        const QRect track = axis.track->geometry();
        const int low = axis.lower->value();
        const int high = axis.upper->value();
        const int left = track.x() + (low * track.width()) / 100;
        // Deadzones that overlap leave no active part: no bar rather than a negative one.
        const int width = std::max(0, ((100 - low - high) * track.width()) / 100);
        axis.bar->setGeometry(left, track.y(), width, track.height());
    }
}

void MainWindow::onDeadzoneChanged() {
    const bool clutch = clutchEnabled();
    const BlockValues values{
        clutch ? percentToDeadzoneLow(ui->lbDzL0->value()) : quint16(0),
        clutch ? percentToDeadzoneHigh(ui->lbDzR0->value()) : quint16(65535),
        percentToDeadzoneLow(ui->lbDzL1->value()),
        percentToDeadzoneHigh(ui->lbDzR1->value()),
        percentToDeadzoneLow(ui->lbDzL2->value()),
        percentToDeadzoneHigh(ui->lbDzR2->value()),
    };
    DeviceLink::writeBlock(deadzoneBlockReport(values));
    // Show what the device now holds.
    if (!loadDeadzones())
        linkFailed();
}
