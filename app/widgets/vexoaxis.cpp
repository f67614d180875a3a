#include "app/widgets/vexoaxis.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

constexpr double POINT_STEP = 100.0 / 6; // five points spread evenly between 0 and 100 %

// The plot has a fixed pixel layout whatever the widget's size: input 0-100 runs over
// x 5-205, output 0-100 over y 200-0.
QPointF toPixel(const QPointF& value) {
    return QPointF(5 + 2 * value.x(), 200 - 2 * value.y());
}

// Whole pixels, halves away from zero.
int roundPixel(double v) {
    return int(std::round(v));
}

QPen pen(const QColor& colour, int width) {
    return QPen(QBrush(colour), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

VexoAxis::VexoAxis(QWidget* parent)
    : QWidget(parent) {
    // A new curve is the identity: output equals input.
    for (int i = 0; i < int(controlPoints.size()); ++i) {
        const double x = (i + 1) * POINT_STEP;
        controlPoints[i] = QPointF(x, x);
    }
}

void VexoAxis::setPoints(const QByteArray& bytes) {
    const int n = qMin(int(controlPoints.size()), int(bytes.size()));
    for (int i = 0; i < n; ++i)
        controlPoints[i].setY(static_cast<signed char>(bytes.at(i)));
    update();
}

QByteArray VexoAxis::points() const {
    QByteArray bytes;
    for (const QPointF& p : controlPoints)
        bytes.append(char(int(p.y())));
    return bytes;
}

void VexoAxis::mousePressEvent(QMouseEvent* event) {
    const int px = roundPixel(event->position().x());
    const int py = roundPixel(event->position().y());
    // The first point whose 10 x 10 square holds the pointer wins where squares overlap;
    // a miss keeps whatever was selected.
    for (int i = 0; i < int(controlPoints.size()); ++i) {
        const QPointF c = toPixel(controlPoints[i]);
        if (px >= c.x() - 5 && px <= c.x() + 5 && py >= c.y() - 5 && py <= c.y() + 5) {
            selectedPoint = i;
            return;
        }
    }
}

void VexoAxis::mouseReleaseEvent(QMouseEvent*) {
    selectedPoint = -1;
}

void VexoAxis::mouseMoveEvent(QMouseEvent* event) {
    if (selectedPoint == -1)
        return;
    // Points move only vertically, in half-percent steps, and may cross their neighbours.
    const double v = (200 - roundPixel(event->position().y())) / 2.0;
    controlPoints[selectedPoint].setY(qBound(0.0, v, 100.0));
    update();
}

void VexoAxis::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QColor blue(17, 146, 207);
    painter.setPen(pen(blue, 2));
    painter.drawLine(0, 1, 5, 1);
    painter.drawLine(0, 100, 5, 100);
    painter.drawLine(202, 200, 202, 205);
    painter.drawLine(105, 200, 105, 205);
    painter.drawLine(5, 0, 5, 205);
    painter.drawLine(0, 200, 200, 200);

    QFont font("Arial", 11);
    font.setWeight(QFont::Bold);
    painter.setFont(font);
    painter.drawText(QPointF(0, 222), tr("0"));
    painter.drawText(QPointF(95, 222), tr("50"));
    painter.drawText(QPointF(188, 222), tr("100"));

    // Quarter lines a little lighter than the half lines.
    painter.setPen(pen(QColor(64, 64, 64), 1));
    for (int y : {25, 75, 125, 175})
        painter.drawLine(7, y, 200, y);
    for (int x : {29, 79, 129, 179})
        painter.drawLine(x, 0, x, 198);

    painter.setPen(pen(QColor(16, 16, 16), 1));
    for (int y : {50, 100, 150})
        painter.drawLine(7, y, 200, y);
    for (int x : {55, 105, 155})
        painter.drawLine(x, 0, x, 198);

    painter.setPen(pen(blue, 2));
    QPointF curve[7];
    curve[0] = QPointF(5, 200);
    for (int i = 0; i < 5; ++i)
        curve[i + 1] = toPixel(controlPoints[i]);
    curve[6] = QPointF(205, 0);
    painter.drawPolyline(curve, 7);

    painter.setPen(pen(Qt::white, 2));
    painter.setBrush(blue);
    for (const QPointF& p : controlPoints) {
        const QPointF c = toPixel(p);
        painter.drawEllipse(QRectF(c.x() - 6, c.y() - 6, 12, 12));
    }
}
