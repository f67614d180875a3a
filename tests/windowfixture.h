// Shared helpers for tests that drive the whole window on the virtual pedal set.
#pragma once

#include "app/mainwindow.h"
#include "app/userdialogs.h"
#include "app/widgets/vexoslider.h"
#include "tests/simfixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

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

class TestDialogs;
inline TestDialogs& testDialogs();
inline WindowOptions testOptions();

// A shown, frameless window; returns once it is connected (INPUTS page shown) or, when
// the device is unplugged, once it waits.
inline std::unique_ptr<MainWindow> openWindow(const WindowOptions& options = testOptions()) {
    auto w = std::make_unique<MainWindow>(options);
    w->setWindowFlags(Qt::FramelessWindowHint);
    w->show();
    const bool plugged = PedalSim::isPlugged();
    const QString head = plugged ? "VEXO PX7" : "WAITING FOR DEVICE...";
    if (!QTest::qWaitFor([&] { return headText(*w) == head && pageIndex(*w) == (plugged ? 0 : 4); },
                         5000))
        qFatal("window did not show %s", qPrintable(head));
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

class MessageBoxAnswerer;
class FileDialogAnswerer;

// The window's dialogs in tests: each message box and file dialog is answered at once by
// the answerer alive at the time; with none alive, boxes are recorded as unanswered, a
// question gets No and a file dialog is cancelled.
class TestDialogs : public UserDialogs {
public:
    void tell(QWidget*, Kind, const QString& title, const QString& text) override;
    bool ask(QWidget* parent, const QString& title, const QString& text, bool noByDefault) override;
    void notice(QWidget* parent, const QString& title, const QString& text) override {
        tell(parent, Kind::Information, title, text);
        noticeOpen = true;
    }
    void closeNotice() override { noticeOpen = false; }
    QString openFileName(const QString&) override { return answerFile(); }
    QString saveFileName() override { return answerFile(); }
    // What the window offered, and the user's edit (none: cancelled).
    bool editGames(QWidget*, GameRules::File& file,
                   const std::array<QStringList, Protocol::AXIS_COUNT>& profiles,
                   const QStringList&, bool&) override {
        offeredProfiles = profiles;
        return games && games(file);
    }
    std::function<bool(GameRules::File&)> games;
    std::array<QStringList, Protocol::AXIS_COUNT> offeredProfiles;

    MessageBoxAnswerer* boxes = nullptr;
    FileDialogAnswerer* files = nullptr;
    QStringList unanswered;
    bool noticeOpen = false;

private:
    QString answerFile();
};

inline TestDialogs& testDialogs() {
    static TestDialogs dialogs;
    return dialogs;
}

// Where the windows of a test program back the profiles up, and how many backups it holds.
inline QString backupFolder() {
    static QTemporaryDir folder;
    return folder.filePath("backups");
}
inline qsizetype backupCount() {
    return QDir(backupFolder()).entryList(QDir::Files).size();
}
// The line that ends a message after an erase: the newest backup of the test's windows.
inline QString keptNote() {
    const QStringList kept = QDir(backupFolder()).entryList(QDir::Files, QDir::Name);
    return "\nThe profiles as they were are kept in " +
           QDir::toNativeSeparators(backupFolder() + '/' + kept.value(kept.size() - 1)) + ".";
}

// The window as tests open it: their dialogs, no waiting on real time for a retry, a
// firmware's writing steps or a reader's read, backups in a temporary folder.
inline WindowOptions testOptions() {
    WindowOptions options;
    options.dialogs = &testDialogs();
    options.backupFolder = backupFolder();
    // No rules per game unless a test writes them.
    options.gameRulesPath = QFileInfo(backupFolder()).absolutePath() + "/games.ini";
    options.firmwareWritingStepMs = 10;
    // Each reconnection waits for the reader's read: the fault sweep reconnects hundreds of times.
    options.readTimeoutMs = 5;
    // Whether games see the pedals is asked of the virtual pedal set, never of this machine.
    GameInput::setSource([](const GameInput::OpenProbe&) { return PedalSim::inputNodes(); });
    GameInput::setMarkFolders({});
    return options;
}

// As testOptions, but the reader waits as long as the program's does: for benchmarks.
inline WindowOptions benchOptions() {
    WindowOptions options = testOptions();
    options.readTimeoutMs = VexoEvent::DEFAULT_READ_TIMEOUT_MS;
    return options;
}

// Makes itself the answerer of its kind while it lives.
template <typename Answerer> class Answering {
public:
    explicit Answering(Answerer*& slot)
        : slot(slot) {
        slot = static_cast<Answerer*>(this);
    }
    ~Answering() {
        if (slot == this)
            slot = nullptr;
    }
    // Runs while each dialog is shown, before it is answered.
    std::function<void()> inspect;

private:
    Answerer*& slot;
};

// Answers every message box shown while it lives, recording "title|text" of each.
class MessageBoxAnswerer : public Answering<MessageBoxAnswerer> {
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : Answering(testDialogs().boxes)
        , answer(answer) {}
    QStringList seen;
    QMessageBox::StandardButton answer;
    // Whether No was the default button of the last question.
    bool lastNoByDefault = false;
};

// Answers file dialogs with a path (an empty one cancels), counting them.
class FileDialogAnswerer : public Answering<FileDialogAnswerer> {
public:
    explicit FileDialogAnswerer(const QString& path)
        : Answering(testDialogs().files)
        , path(path) {}
    QString path;
    int dialogs = 0;
};

inline void TestDialogs::tell(QWidget*, Kind, const QString& title, const QString& text) {
    (boxes ? boxes->seen : unanswered) << title + QLatin1Char('|') + text;
    if (boxes && boxes->inspect)
        boxes->inspect();
}

inline bool TestDialogs::ask(QWidget* parent, const QString& title, const QString& text,
                             bool noByDefault) {
    if (boxes)
        boxes->lastNoByDefault = noByDefault;
    tell(parent, Kind::Information, title, text);
    return boxes && boxes->answer == QMessageBox::Yes;
}

inline QString TestDialogs::answerFile() {
    if (!files)
        return QString();
    ++files->dialogs;
    if (files->inspect)
        files->inspect();
    return files->path;
}

// One mouse event, straight to the widget's handlers: the application would round the
// positions. Each event is made just before it is delivered: mouse events of one device
// share their point's state.
inline void mouse(QWidget& w, QEvent::Type type, QPointF local, QPointF global = {},
                  Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent event(type, local, local, global, type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    static_cast<QObject&>(w).event(&event);
}

// Press, moves through the given points, release: a drag as the user makes it.
inline void drag(QWidget& w, std::initializer_list<QPointF> path) {
    const QPointF last = *(path.end() - 1);
    for (const QPointF& p : path)
        mouse(w, &p == path.begin() ? QEvent::MouseButtonPress : QEvent::MouseMove, p,
              w.mapToGlobal(p));
    mouse(w, QEvent::MouseButtonRelease, last, w.mapToGlobal(last));
}

// Drags a tag by dx pixels and lets go.
inline void dragTag(VexoSlider* tag, int dx) {
    drag(*tag, {QPointF(10, 10), QPointF(10 + dx, 10)});
}

// Whatever a test did, no report was malformed and no closed handle was used,
// and no box came up that the test did not expect.
inline void checkDeviceUse() {
    QCOMPARE(PedalSim::protocolErrors(), QStringList());
    QCOMPARE(PedalSim::closedHandleUses(), 0);
    const QStringList unanswered = std::exchange(testDialogs().unanswered, {});
    QCOMPARE(unanswered, QStringList());
}
