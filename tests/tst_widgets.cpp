// The deadzone tag and the response-curve widget: positions, values, drags, painted pixels.
#include "app/widgets/vexoaxis.h"
#include "tests/windowfixture.h"

#include <QSignalSpy>
#include <QTest>

// Side, percent set (-1: pressed left of the primary screen), pointer steps; x, value then.
using TagRow = std::tuple<int, int, QList<double>, int, int>;
using PressRow = std::tuple<QByteArray, QPointF, Qt::MouseButton, int>; // points, at, selected
using PixelRow = std::tuple<int, QByteArray, QPoint, QColor>; // 0 lower tag, 1 upper, 2 curve

namespace {

QImage paint(QWidget& w) {
    QImage image(w.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    w.render(&image, {}, {}, QWidget::RenderFlags());
    return image;
}

// A lower tag at home 38 (full at 80), an upper one at home 206 (full at 164).
struct Tag : VexoSlider {
    explicit Tag(int side)
        : VexoSlider(nullptr) {
        setGeometry(side == 0 ? 38 : 206, 380, 32, 20);
        setSide(side);
    }
};

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT

private slots:
    // 2 pixels are 1 %; a step follows the pointer, truncated, and stops a pixel short of an
    // end (0 % and 20 %) however far it goes. Every release counts.
    void tag_data() {
        QTest::addColumn<TagRow>("row");
        QTest::newRow("upper set to 21 %") << TagRow{1, 21, {}, 164, 21};
        QTest::newRow("11 pixels: 5.5 %") << TagRow{0, 0, {11}, 49, 5};
        QTest::newRow("steps of 1.5") << TagRow{0, 0, {1.5, 3}, 40, 1};
        QTest::newRow("back by 1.5") << TagRow{0, 0, {3, 1.5}, 40, 1};
        QTest::newRow("onto the far end") << TagRow{0, 0, {42}, 79, 20};
        QTest::newRow("onto home") << TagRow{0, 1, {-2}, 39, 0};
        QTest::newRow("quickly past home") << TagRow{0, 5, {-30}, 39, 0};
        QTest::newRow("upper, past full") << TagRow{1, 0, {-60}, 165, 20};
        QTest::newRow("after a stopped step") << TagRow{0, 0, {-10, 0}, 48, 5};
        QTest::newRow("left of the primary screen") << TagRow{1, -1, {-10}, 206, 0};
    }
    void tag() {
        QFETCH(TagRow, row);
        const auto [side, percent, steps, x, value] = row;
        Tag tag(side);
        tag.setValue(qMax(percent, 0));
        QSignalSpy released(&tag, &VexoSlider::valueChanged);
        const QImage before = paint(tag);
        const QPointF grip = percent < 0 ? QPointF(-20, 300) : tag.mapToGlobal(QPointF(16, 10));
        mouse(tag, QEvent::MouseButtonPress, {16, 10}, grip);
        for (double dx : steps)
            mouse(tag, QEvent::MouseMove, {16, 10}, grip + QPointF(dx, 0));
        mouse(tag, QEvent::MouseButtonRelease, {16, 10}, grip);
        QCOMPARE(tag.x(), x);
        QCOMPARE(tag.value(), value);
        QCOMPARE(released.count(), 1);
        QCOMPARE(paint(tag) != before, value != qMax(percent, 0)); // it shows its value
    }

    void axisPoints() {
        VexoAxis axis;
        QCOMPARE(axis.points(), QByteArray::fromHex("1021324253")); // output = input, truncated
        axis.setPoints(QByteArray::fromHex("ff80324b6407"));        // signed; five of them
        QCOMPARE(axis.points(), QByteArray::fromHex("ff80324b64"));
    }

    // Any button selects a point 5 pixels or less away on both axes from the pointer, rounded
    // half away from zero. Point 0 sits at pixel (38.33, 166.67), point 2 at (105, 100).
    void axisPress_data() {
        QTest::addColumn<PressRow>("row");
        const QByteArray top = QByteArray::fromHex("0019324b64"); // point 4 at row 0
        QTest::newRow("left of point 0") << PressRow{{}, {33.4, 166}, Qt::LeftButton, -1};
        QTest::newRow("right of point 0") << PressRow{{}, {43.5, 166}, Qt::LeftButton, -1};
        QTest::newRow("point 0, right button") << PressRow{{}, {43.4, 171.4}, Qt::RightButton, 0};
        QTest::newRow("corner of point 2") << PressRow{{}, {110, 105}, Qt::LeftButton, 2};
        QTest::newRow("above point 4") << PressRow{top, {171, -5.5}, Qt::LeftButton, -1};
        QTest::newRow("point 4's top row") << PressRow{top, {171, -5.4}, Qt::LeftButton, 4};
    }
    void axisPress() {
        QFETCH(PressRow, row);
        const auto [points, at, button, selected] = row;
        VexoAxis axis;
        axis.setPoints(points);
        mouse(axis, QEvent::MouseButtonPress, at, {}, button);
        QCOMPARE(axis.selectedPoint, selected);
    }

    void axisDrag() {
        VexoAxis axis;
        mouse(axis, QEvent::MouseButtonPress, {105, 100});
        mouse(axis, QEvent::MouseButtonPress, {150, 190}); // a miss keeps it
        mouse(axis, QEvent::MouseMove, {105, -40});
        QCOMPARE(axis.controlPoints[2], QPointF(50, 100));
        mouse(axis, QEvent::MouseMove, {105, 260});
        QCOMPARE(axis.controlPoints[2].y(), 0.0);
        mouse(axis, QEvent::MouseMove, {20, 100.5}); // row 101
        QCOMPARE(axis.controlPoints[2], QPointF(50, 49.5));
        mouse(axis, QEvent::MouseButtonRelease, {20, 100.5});
        mouse(axis, QEvent::MouseMove, {105, 20});
        QCOMPARE(axis.controlPoints[2].y(), 49.5);
    }

    void painted_data() {
        QTest::addColumn<PixelRow>("row");
        const QColor blue(0, 117, 190), curve(17, 146, 207);
        const QByteArray moved = QByteArray::fromHex("0019324b64");
        QTest::newRow("lower tag points left") << PixelRow{0, {}, {0, 1}, blue};
        QTest::newRow("its other corner round") << PixelRow{0, {}, {30, 1}, Qt::black};
        QTest::newRow("upper tag points right") << PixelRow{1, {}, {31, 1}, blue};
        QTest::newRow("vertical axis") << PixelRow{2, {}, {5, 150}, curve};
        QTest::newRow("no background") << PixelRow{2, {}, {210, 100}, Qt::black};
        QTest::newRow("point 2's fill") << PixelRow{2, {}, {106, 103}, curve};
        QTest::newRow("point 2's ring") << PixelRow{2, {}, {99, 100}, Qt::white};
        QTest::newRow("moved point 0's ring") << PixelRow{2, moved, {32, 200}, Qt::white};
        QTest::newRow("flat to the end") << PixelRow{2, moved, {190, 0}, curve};
    }
    void painted() {
        QFETCH(PixelRow, row);
        const auto [widget, points, at, colour] = row;
        Tag tag(widget == 1);
        VexoAxis axis; // 640 x 480 until shown
        axis.setPoints(points);
        QCOMPARE(QColor(paint(widget < 2 ? static_cast<QWidget&>(tag) : axis).pixel(at)), colour);
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
