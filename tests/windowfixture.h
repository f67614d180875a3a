// Shared helpers for tests that drive the whole window on the virtual pedal set.
#pragma once

#include "app/mainwindow.h"
#include "device/devicehandle.h"
#include "inputs/vexoslider.h"
#include "sim/pedalsim.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// Reaches the window's private state, the way the window's own code sees it.
class MainWindowTest {
public:
    static std::array<quint16, 6>& calRange(MainWindow& w) { return w.calRange; }
    static QPointF dragOrigin(const MainWindow& w) { return w.dragOrigin; }
    static const QString& updateBaseUrl(const MainWindow& w) { return w.updateBaseUrl; }
    static VexoEvent& eventThread(MainWindow& w) { return w.eventThread; }
    static VexoUpgrade& upgradeThread(MainWindow& w) { return w.upgradeThread; }
    static QNetworkAccessManager& networkManager(MainWindow& w) { return w.networkManager; }
    // The window builds the address when it connects; tests point it at their own server.
    static void setUpdateBaseUrl(MainWindow& w, const QString& url) { w.updateBaseUrl = url; }
    static void deliver(MainWindow& w, QEvent& event) { w.event(&event); }
    // One sample handed to the window's slot directly, as the queued signal would.
    static void applySample(MainWindow& w, const QByteArray& sample) { w.onJoystickEvent(sample); }
    // No firmware operation under way, and the end of the last one handled.
    static bool uploadIdle(const MainWindow& w) {
        return w.updateStage == MainWindow::UpdateStage::Idle && !w.upgradeThread.isRunning();
    }
};

template <typename T = QWidget> T* widget(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

inline QString headText(QWidget& w) {
    return widget<QLabel>(w, "lbHead")->text();
}

inline int pageIndex(QWidget& w) {
    return widget<QStackedWidget>(w, "stackedWidget")->currentIndex();
}

// A shown, frameless window; returns once it is connected (INPUTS page shown) or, when
// the device is unplugged, once it waits.
inline std::unique_ptr<MainWindow> openWindow() {
    auto w = std::make_unique<MainWindow>();
    w->setWindowFlags(Qt::FramelessWindowHint);
    w->show();
    if (PedalSim::isPlugged()) {
        if (!QTest::qWaitFor([&] { return pageIndex(*w) == 0 && headText(*w) == "VEXO PX7"; },
                             5000))
            qFatal("window did not connect");
    } else {
        if (!QTest::qWaitFor([&] { return headText(*w) == "WAITING FOR DEVICE..."; }, 5000))
            qFatal("window did not wait");
    }
    return w;
}

// Connected: the head names the pedal set and the pages can be reached.
inline bool connected(QWidget& w) {
    return headText(w) == QStringLiteral("VEXO PX7") && widget(w, "pbS1")->isEnabled();
}

// The event loop still turns: a zero timer fires within the bound.
inline bool loopTurns() {
    bool fired = false;
    QObject guard;
    QTimer::singleShot(0, &guard, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    while (!fired && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return fired;
}

// Each test starts on a factory-fresh pedal set, with no handle left by the one before.
inline void freshPedalSet() {
    DeviceHandle::close();
    PedalSim::reset();
}

// Whatever a test did, no report was malformed and no closed handle was used.
inline void checkDeviceUse() {
    QCOMPARE(PedalSim::protocolErrors(), QStringList());
    QCOMPARE(PedalSim::closedHandleUses(), 0);
}

inline QStringList sentHex() {
    QStringList out;
    for (const QByteArray& b : PedalSim::sentReports())
        out << PedalSim::hex(b);
    return out;
}

// "020B0900" padded with zeros to a 20-byte report, as hex text.
inline QString reportHex(const char* prefix) {
    QByteArray b = QByteArray::fromHex(prefix);
    b.append(QByteArray(20 - b.size(), '\0'));
    return PedalSim::hex(b);
}

// Answers every modal message box that comes up while it lives, recording
// "title|text" of each, so tests can drive slots that ask or inform.
class MessageBoxAnswerer : public QObject {
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : answer(answer) {
        QObject::connect(&timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box == lastBox)
                return;
            lastBox = box;
            seen << box->windowTitle() + QLatin1Char('|') + box->text();
            if (inspect)
                inspect(box);
            QAbstractButton* button = box->button(this->answer);
            if (button)
                button->click();
            else
                box->reject();
        });
        timer.start(5);
    }
    QStringList seen;
    QMessageBox::StandardButton answer;
    // Looks at each box before it is answered (its buttons, the window behind it).
    std::function<void(QMessageBox*)> inspect;

private:
    QTimer timer;
    QPointer<QMessageBox> lastBox;
};

// Answers the next file dialog with a path (an empty one cancels it), recording how the
// dialog was made.
class FileDialogAnswerer : public QObject {
public:
    explicit FileDialogAnswerer(const QString& path)
        : path(path) {
        QObject::connect(&timer, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            // Saving over an existing file asks first (once the dialog's folder listing
            // has arrived, so only sometimes): the user confirms.
            if (auto* box = qobject_cast<QMessageBox*>(modal);
                box && qobject_cast<QFileDialog*>(box->parentWidget())) {
                if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                    yes->click();
                return;
            }
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return;
            // A dialog still open half a second after its answer refused it (its warning
            // box is answered and recorded by a MessageBoxAnswerer): say so and answer again.
            if (dialog == lastDialog && ++stuck % 100 != 0)
                return;
            if (dialog == lastDialog)
                qWarning() << "file dialog still open with" << dialog->selectedFiles();
            else
                ++dialogs;
            lastDialog = dialog;
            withoutParent = dialog->parentWidget() == nullptr;
            saving = dialog->acceptMode() == QFileDialog::AcceptSave;
            if (inspect)
                inspect(dialog);
            if (this->path.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(this->path);
                static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own, protected there
            }
        });
        timer.start(5);
    }
    QString path;
    int dialogs = 0;
    int stuck = 0;
    bool withoutParent = false;
    bool saving = false;
    // Looks at each dialog just before it is answered.
    std::function<void(QFileDialog*)> inspect;

private:
    QTimer timer;
    QPointer<QFileDialog> lastDialog;
};

// Drags a tag by dx pixels and lets go, as the user would. Each event is made just before
// it is delivered: mouse events of one device share their point's state. They go straight
// to the tag, as the application would round the positions.
inline void dragTag(VexoSlider* tag, int dx) {
    const QPointF local(10, 10);
    const QPointF start = tag->mapToGlobal(local);
    auto deliver = [&](QEvent::Type type, QPointF global, Qt::MouseButton button,
                       Qt::MouseButtons buttons) {
        QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
        static_cast<QObject*>(tag)->event(&event);
    };
    deliver(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    deliver(QEvent::MouseMove, start + QPointF(dx, 0), Qt::NoButton, Qt::LeftButton);
    deliver(QEvent::MouseButtonRelease, start + QPointF(dx, 0), Qt::LeftButton, Qt::NoButton);
}
