#include "app/widgets/vexoslider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

namespace {
constexpr int TRAVEL = 42; // pixels between home and full deadzone
constexpr int SPAN = 21;   // percent at full travel
} // namespace

VexoSlider::VexoSlider(QWidget* parent)
    : QLabel(parent) {}

void VexoSlider::setSide(int newSide) {
    side = newSide;
    span = SPAN;
    if (newSide == 0) {
        minX = x();
        maxX = x() + TRAVEL;
    } else if (newSide == 1) {
        maxX = x();
        minX = x() - TRAVEL;
    }
}

int VexoSlider::value() const {
    if (side == 0)
        return (x() - minX) * span / (maxX - minX);
    return (maxX - x()) * span / (maxX - minX);
}

void VexoSlider::setValue(int percent) {
    if (side == 0)
        move(percent * TRAVEL / span + minX, y());
    else if (side == 1)
        move(maxX - percent * TRAVEL / span, y());
}

void VexoSlider::mousePressEvent(QMouseEvent* event) {
    // Global positions: the tag itself moves under the pointer while it is dragged.
    lastPos = event->globalPosition();
}

void VexoSlider::mouseReleaseEvent(QMouseEvent*) {
    lastPos = QPointF(-1.0, -1.0);
    emit valueChanged();
}

void VexoSlider::mouseMoveEvent(QMouseEvent* event) {
    if (lastPos.x() < 0 || lastPos.y() < 0)
        return;
    const QPointF pos = event->globalPosition();
    // A drag stops a pixel short of each end: 0 % at home, 20 % at full travel (21 % is
    // for setValue() alone). A quick drag past an end stops there rather than short of it.
    // A tag that setValue() put on an end does not jump off it toward the pointer.
    const int nx = std::clamp(x() + int(pos.x() - lastPos.x()), std::min(x(), minX + 1),
                              std::max(x(), maxX - 1));
    if (nx != x())
        move(nx, y());
    lastPos = pos;
}

void VexoSlider::paintEvent(QPaintEvent*) {
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 117, 190));
    painter.drawRoundedRect(QRectF(0, 4, w, h - 4), 4, 4, Qt::AbsoluteSize);

    // Square off the top corner that faces the bar, so the tag points at it.
    QPolygon corner;
    if (side == 0)
        corner << QPoint(0, 10) << QPoint(0, 0) << QPoint(10, 10);
    else
        corner << QPoint(w, 10) << QPoint(w, 0) << QPoint(w - 10, 10);
    painter.drawPolygon(corner, Qt::OddEvenFill);

    painter.setPen(Qt::white);
    painter.setFont(QFont("Arial", 10));
    painter.drawText(QRect(0, 4, w, h - 4), Qt::AlignCenter, QString::asprintf("%d%%", value()));
}
