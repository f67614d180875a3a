// One axis's response curve: five control points at fixed pedal positions whose output the
// user drags up or down. The curve runs straight from (0, 0) through them to (100, 100).
#pragma once

#include <QByteArray>
#include <QPointF>
#include <QWidget>

#include <array>

class VexoAxis : public QWidget {
    Q_OBJECT
public:
    explicit VexoAxis(QWidget* parent = nullptr);

    // Byte i (signed) becomes the output of point i; the device stores curves that way.
    void setPoints(const QByteArray& bytes);
    // The five outputs, truncated to whole percent.
    QByteArray points() const;

    // (input %, output %) per point; only the output ever changes.
    std::array<QPointF, 5> controlPoints;
    // Index of the point being dragged, -1 for none.
    int selectedPoint = -1;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
