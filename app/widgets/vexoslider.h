// The deadzone tag under an input bar. It slides sideways over 42 pixels of the 200-pixel
// bar, so it moves at the bar's own scale: 2 pixels are 1 percent, 0-21 percent in all.
#pragma once

#include <QLabel>
#include <QPointF>

class VexoSlider : public QLabel {
    Q_OBJECT
public:
    explicit VexoSlider(QWidget* parent);

    // Makes the current position the 0 % home: side 0 travels right from it (lower
    // deadzone), side 1 travels left (upper deadzone).
    void setSide(int newSide);

    int value() const;
    // Not clamped and silent: the device's stored value is shown as it is.
    void setValue(int percent);

    int side = 0;
    int minX = -1;
    int maxX = -1;
    int span = -1;
    // Global position of the previous press or move; negative while no drag is going on.
    QPointF lastPos{-1.0, -1.0};

signals:
    // Emitted on every release, moved or not: the owner then writes all deadzones.
    void valueChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
