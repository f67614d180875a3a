// The deadzone tag and the response-curve widget, driven by mouse events inside a shown
// window and checked by their positions, values, signals and painted pixels.
#include "inputs/vexoslider.h"
#include "profiles/vexoaxis.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

// Hands a mouse event straight to the widget, as its window would during a drag (moves
// carry the held button). Going around QApplication keeps fractional global positions,
// which it would round.
void mouse(QWidget* w, QEvent::Type type, QPointF local, QPointF global,
           Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : button;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, local, global, changed, held, Qt::NoModifier);
    static_cast<QObject*>(w)->event(&event);
}

// The tag follows global positions; the local one is what the window system would give.
void atGlobal(QWidget* w, QEvent::Type type, QPointF global) {
    mouse(w, type, w->mapFromGlobal(global), global);
}

void atLocal(QWidget* w, QEvent::Type type, QPointF local,
             Qt::MouseButton button = Qt::LeftButton) {
    mouse(w, type, local, w->mapToGlobal(local), button);
}

QImage paint(QWidget* w) {
    QImage image(w->size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    w->render(&image, {}, {}, QWidget::RenderFlags()); // no background of the parent's
    return image;
}

bool near(QRgb pixel, QColor expected) {
    return qAbs(qRed(pixel) - expected.red()) <= 3 && qAbs(qGreen(pixel) - expected.green()) <= 3 &&
           qAbs(qBlue(pixel) - expected.blue()) <= 3;
}

const QColor tagBlue(0, 117, 190);
const QColor curveBlue(17, 146, 207);

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT

    QWidget* page = nullptr;

    VexoSlider* tag(int x, int side) {
        auto* t = new VexoSlider(page);
        t->setGeometry(x, 380, 32, 20);
        t->setSide(side);
        t->show();
        return t;
    }

private slots:
    void init() {
        page = new QWidget;
        page->setGeometry(50, 50, 900, 500);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page));
    }

    void cleanup() { delete page; }

    void sliderPositionAndValue() {
        VexoSlider fresh(page);
        QCOMPARE(fresh.span, -1);
        QCOMPARE(fresh.lastPos, QPointF(-1, -1));

        VexoSlider* lower = tag(38, 0);
        QCOMPARE(lower->minX, 38);
        QCOMPARE(lower->maxX, 80);
        lower->setValue(5);
        QCOMPARE(lower->pos(), QPoint(48, 380));
        QCOMPARE(lower->value(), 5);
        lower->move(49, 380);
        QCOMPARE(lower->value(), 5); // 5.5 truncated
        lower->move(37, 380);
        QCOMPARE(lower->value(), 0); // -0.5 truncated toward zero
        lower->setValue(30);         // beyond the travel: not clamped
        QCOMPARE(lower->x(), 98);
        QCOMPARE(lower->value(), 30);

        VexoSlider* upper = tag(206, 1);
        QCOMPARE(upper->minX, 164);
        QCOMPARE(upper->maxX, 206);
        upper->setValue(5);
        QCOMPARE(upper->x(), 196);
        QCOMPARE(upper->value(), 5);

        upper->setSide(2); // keeps the range, reads like an upper tag, ignores setValue
        QCOMPARE(upper->minX, 164);
        upper->setValue(10);
        QCOMPARE(upper->x(), 196);
        QCOMPARE(upper->value(), 5);
    }

    void sliderDrag() {
        VexoSlider* lower = tag(38, 0);
        QSignalSpy changed(lower, &VexoSlider::valueChanged);
        const QPointF start = lower->mapToGlobal(QPointF(16, 10));

        atGlobal(lower, QEvent::MouseButtonPress, start);
        atGlobal(lower, QEvent::MouseMove, start + QPointF(-10, 0));
        QCOMPARE(lower->x(), 38);
        atGlobal(lower, QEvent::MouseMove, start + QPointF(40, 0)); // +50 in one step
        QCOMPARE(lower->x(), 38);
        atGlobal(lower, QEvent::MouseMove, start + QPointF(50, 30)); // +10 from the last event
        QCOMPARE(lower->pos(), QPoint(48, 380));
        atGlobal(lower, QEvent::MouseMove, start + QPointF(51.5, 0));
        atGlobal(lower, QEvent::MouseMove, start + QPointF(53, 0)); // two 1.5 steps
        QCOMPARE(lower->x(), 50);
        atGlobal(lower, QEvent::MouseMove, start + QPointF(51.5, 0)); // -1.5 truncates to -1
        QCOMPARE(lower->x(), 49);
        for (int dx = 54; dx < 120; ++dx)
            atGlobal(lower, QEvent::MouseMove, start + QPointF(dx, 0));
        QCOMPARE(lower->x(), 79);
        QCOMPARE(lower->value(), 20);
        atGlobal(lower, QEvent::MouseButtonRelease, start + QPointF(119, 0));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(lower->lastPos, QPointF(-1, -1));

        atGlobal(lower, QEvent::MouseMove, start); // no drag in progress
        QCOMPARE(lower->x(), 79);

        lower->setValue(30); // x 98: steps back in are dropped until they land below maxX
        const QPointF grip = lower->mapToGlobal(QPointF(16, 10));
        atGlobal(lower, QEvent::MouseButtonPress, grip);
        atGlobal(lower, QEvent::MouseMove, grip + QPointF(-18, 0));
        QCOMPARE(lower->x(), 98);
        atGlobal(lower, QEvent::MouseMove, grip + QPointF(-37, 0));
        QCOMPARE(lower->x(), 79);
        atGlobal(lower, QEvent::MouseButtonRelease, grip);
        QCOMPARE(changed.count(), 2);
    }

    void sliderRelease() {
        VexoSlider* upper = tag(206, 1);
        QSignalSpy changed(upper, &VexoSlider::valueChanged);
        QTest::mouseClick(upper, Qt::LeftButton, {}, QPoint(16, 10));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(upper->x(), 206);

        // A press on a screen left of the primary one starts no drag; the release still counts.
        mouse(upper, QEvent::MouseButtonPress, QPointF(16, 10), QPointF(-20, 300));
        mouse(upper, QEvent::MouseMove, QPointF(6, 10), QPointF(-30, 300));
        QCOMPARE(upper->x(), 206);
        mouse(upper, QEvent::MouseButtonRelease, QPointF(6, 10), QPointF(-30, 300));
        QCOMPARE(changed.count(), 2);
    }

    void sliderPaint() {
        VexoSlider* lower = tag(38, 0);
        VexoSlider* upper = tag(206, 1);
        const QImage l = paint(lower);
        const QImage u = paint(upper);
        QVERIFY(near(l.pixel(2, 12), tagBlue));
        // Pointed towards the bar, above the rounded body (y 4-20); (1, 1) is on the hypotenuse.
        QVERIFY(near(l.pixel(0, 1), tagBlue));
        QVERIFY(near(l.pixel(30, 1), Qt::black));
        QVERIFY(near(u.pixel(31, 1), tagBlue));
        QVERIFY(near(u.pixel(1, 1), Qt::black));

        // The percentage, in white: antialiased strokes of a thin font may not reach pure
        // white, but they are far lighter than the blue body (red 0).
        int white = 0;
        for (int y = 4; y < 20; ++y)
            for (int x = 0; x < 32; ++x)
                white += qRed(l.pixel(x, y)) > 160 && qGreen(l.pixel(x, y)) > 160 &&
                         qBlue(l.pixel(x, y)) > 160;
        QVERIFY(white >= 5);
        lower->setValue(12);
        QVERIFY(paint(lower) != l);
    }

    void axisPoints() {
        VexoAxis axis;
        QCOMPARE(axis.selectedPoint, -1);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(axis.controlPoints[i], QPointF((i + 1) * 100.0 / 6, (i + 1) * 100.0 / 6));
        QCOMPARE(axis.points(), QByteArray::fromHex("1021324253"));

        axis.setPoints(QByteArray::fromHex("ff80324b6407"));
        QCOMPARE(axis.controlPoints[0], QPointF(100.0 / 6, -1));
        QCOMPARE(axis.controlPoints[1].y(), -128.0);
        QCOMPARE(axis.points(), QByteArray::fromHex("ff80324b64"));
    }

    void axisMouse() {
        auto* axis = new VexoAxis(page);
        axis->setGeometry(40, 20, 220, 231);
        axis->show();
        PaintCounter counter;
        axis->installEventFilter(&counter);
        QCoreApplication::processEvents();

        // Point 0 sits at pixel (38.33, 166.67); the pointer is rounded before the test.
        atLocal(axis, QEvent::MouseButtonPress, QPointF(33.4, 166));
        atLocal(axis, QEvent::MouseButtonPress, QPointF(43.5, 166));
        QCOMPARE(axis->selectedPoint, -1);
        atLocal(axis, QEvent::MouseButtonPress, QPointF(43.4, 171.4), Qt::RightButton);
        QCOMPARE(axis->selectedPoint, 0);
        atLocal(axis, QEvent::MouseButtonPress, QPointF(150, 190)); // a miss keeps it
        QCOMPARE(axis->selectedPoint, 0);
        atLocal(axis, QEvent::MouseButtonRelease, QPointF(150, 190));
        QCOMPARE(axis->selectedPoint, -1);
        atLocal(axis, QEvent::MouseButtonPress, QPointF(110, 105)); // corner of point 2
        QCOMPARE(axis->selectedPoint, 2);

        atLocal(axis, QEvent::MouseMove, QPointF(105, -40));
        QCOMPARE(axis->controlPoints[2], QPointF(50, 100));
        atLocal(axis, QEvent::MouseMove, QPointF(105, 260));
        QCOMPARE(axis->controlPoints[2].y(), 0.0);
        atLocal(axis, QEvent::MouseMove, QPointF(20, 100.5)); // row 101
        QCOMPARE(axis->controlPoints[2], QPointF(50, 49.5));
        QCOMPARE(axis->points().at(2), char(49));
        atLocal(axis, QEvent::MouseButtonRelease, QPointF(20, 100.5));
        QCOMPARE(axis->selectedPoint, -1);

        QTRY_VERIFY(counter.paints > 0);
        counter.paints = 0;
        atLocal(axis, QEvent::MouseMove, QPointF(105, 20));
        QTest::qWait(50);
        QCOMPARE(axis->controlPoints[2].y(), 49.5);
        QCOMPARE(counter.paints, 0);

        // Squares overlap only when points share an input; the lower index is picked.
        axis->controlPoints[1] = QPointF(50, 52);
        atLocal(axis, QEvent::MouseButtonPress, QPointF(105, 99));
        QCOMPARE(axis->selectedPoint, 1);
        atLocal(axis, QEvent::MouseButtonRelease, QPointF(105, 99));

        axis->setPoints(QByteArray::fromHex("0019324b64")); // point 4 at row 0
        QTRY_VERIFY(counter.paints > 0);
        atLocal(axis, QEvent::MouseButtonPress, QPointF(171, -5.5)); // rounds to -6
        QCOMPARE(axis->selectedPoint, -1);
        atLocal(axis, QEvent::MouseButtonPress, QPointF(171, -5.4));
        QCOMPARE(axis->selectedPoint, 4);
    }

    void axisPaint() {
        VexoAxis axis(page);
        axis.resize(220, 231);
        QImage image = paint(&axis);
        QVERIFY(near(image.pixel(5, 150), curveBlue));   // vertical axis
        QVERIFY(near(image.pixel(201, 205), curveBlue)); // square cap past the tick's end
        QVERIFY(near(image.pixel(210, 100), Qt::black)); // no background
        QVERIFY(near(image.pixel(105, 100), curveBlue)); // point 2's centre
        QVERIFY(near(image.pixel(106, 103), curveBlue)); // its fill away from the curve
        QVERIFY(near(image.pixel(99, 100), Qt::white));  // its ring

        axis.setPoints(QByteArray::fromHex("0019324b64"));
        image = paint(&axis);
        for (int i = 0; i < 5; ++i) {
            const int x = int(std::floor(5 + (i + 1) * 200.0 / 6 - 6));
            QVERIFY2(near(image.pixel(x, 200 - 50 * i), Qt::white), qPrintable(QString::number(i)));
        }
        QVERIFY(near(image.pixel(190, 0), curveBlue)); // last segment runs flat to (205, 0)
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
