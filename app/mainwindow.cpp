#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmapCache>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
constexpr int DRAG_BAND_HEIGHT = 50;
// A press and release this close together is a click, not a drag.
constexpr qreal CLICK_SLOP = 4;
const QPointF NO_DRAG(-1, -1);
// One page picture (the one the clutch mode shows) and the smaller ones.
constexpr int PIXMAP_CACHE_KB = 20 * 1024;
// Long enough for udev to have classified a device that has just come.
constexpr int UDEV_SETTLE_MS = 2000;

PedalSession::Options sessionOptions(const WindowOptions& window) {
    PedalSession::Options options;
    options.retryIntervalMs = window.retryIntervalMs;
    options.readTimeoutMs = window.readTimeoutMs;
    options.firmwareWritingStepMs = window.firmwareWritingStepMs;
    options.updateBaseUrl = window.updateBaseUrl.isEmpty()
                                ? QStringLiteral(VEXO_UPDATE_BASE_URL) + QStringLiteral("pedal/")
                                : window.updateBaseUrl;
    options.lockPath = window.lockPath;
    return options;
}
} // namespace

using Protocol::AXIS_COUNT;

MainWindow::MainWindow(QWidget* parent)
    : MainWindow(WindowOptions(), parent) {}

MainWindow::MainWindow(const WindowOptions& windowOptions, QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , options(windowOptions)
    , dialogs(windowOptions.dialogs ? windowOptions.dialogs : &widgetDialogs)
    , dragOrigin(NO_DRAG)
    , pedalSet(sessionOptions(windowOptions))
    , settings(pedalSet.settings())
    , calibrationRun(pedalSet.calibration())
    , profiles(pedalSet.profiles())
    , firmware(pedalSet.firmware())
    , gameWatcher([this](const ProfileCommand& command) { return runCommand(command); },
                  GameWatcher::Options()) {
    ruleInstaller = options.ruleInstaller ? options.ruleInstaller : &ownRuleInstaller;
    connect(ruleInstaller, &AccessRuleInstaller::finished, this, &MainWindow::accessRuleInstalled);
    if (!options.backupFolder.isEmpty())
        backups = ProfileBackups(options.backupFolder);
    // The page pictures are 2303 x 1479 (13 MB each decoded), beyond Qt's default pixmap
    // cache; uncached, every label showing one decodes its own copy at every style change.
    QPixmapCache::setCacheLimit(std::max(QPixmapCache::cacheLimit(), PIXMAP_CACHE_KB));
    ui->setupUi(this);
    connect(ui->pbStatus, &QPushButton::clicked, this, &MainWindow::showAccessHint);
    connect(ui->pbGames, &QPushButton::clicked, this, &MainWindow::onGames);
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    ui->stackedWidget->setCurrentIndex(0);

    for (QComboBox* profiles : {ui->cbPro0, ui->cbPro1, ui->cbPro2}) {
        profiles->setEditable(true);
        profiles->lineEdit()->setAlignment(Qt::AlignCenter);
        // What is typed stays as typed: completing "RA" to "RACE" would choose RACE (and its
        // curve) the moment the line is left, and Enter must not list a profile the pedal
        // set does not hold. Only a whole name, as the list shows it, chooses that profile.
        profiles->setCompleter(nullptr);
        profiles->setInsertPolicy(QComboBox::NoInsert);
    }

    connect(ui->pbClose, &QPushButton::clicked, this, &MainWindow::onClose);
    const std::array<QPushButton*, 5> pages = {ui->pbS1, ui->pbS2, ui->pbS3, ui->pbS4, ui->pbS5};
    for (int page = 0; page < int(pages.size()); ++page)
        connect(pages[page], &QPushButton::clicked, this, [this, page] { onSidebar(page); });
    const std::array<QPushButton*, AXIS_COUNT> calibrate = {ui->pbSave0, ui->pbSave1, ui->pbSave2};
    const std::array<QPushButton*, AXIS_COUNT> save = {ui->pbSavePro0, ui->pbSavePro1,
                                                       ui->pbSavePro2};
    const std::array<QPushButton*, AXIS_COUNT> remove = {ui->pbDelPro0, ui->pbDelPro1,
                                                         ui->pbDelPro2};
    const std::array<QComboBox*, AXIS_COUNT> lists = {ui->cbPro0, ui->cbPro1, ui->cbPro2};
    for (int axis = 0; axis < AXIS_COUNT; ++axis) {
        connect(calibrate[axis], &QPushButton::clicked, this,
                [this, axis] { onCalibrateSave(axis); });
        connect(save[axis], &QPushButton::clicked, this, [this, axis] { onProfileSave(axis); });
        connect(remove[axis], &QPushButton::clicked, this, [this, axis] { onProfileRemove(axis); });
        connect(lists[axis], &QComboBox::currentIndexChanged, this,
                [this, axis] { onProfileChanged(axis); });
    }
    connect(ui->cbClutch, &QCheckBox::clicked, this, &MainWindow::onClutch);
    connect(ui->pbImport, &QPushButton::clicked, this, &MainWindow::onProfileImport);
    connect(ui->pbExport, &QPushButton::clicked, this, &MainWindow::onProfileExport);
    for (VexoSlider* tag : {ui->lbDzL0, ui->lbDzR0, ui->lbDzL1, ui->lbDzR1, ui->lbDzL2, ui->lbDzR2})
        connect(tag, &VexoSlider::valueChanged, this, &MainWindow::onDeadzoneChanged);
    connect(&firmware.uploadThread(), &VexoUpgrade::progress, this, &MainWindow::onProgress);
    connect(&pedalSet, &PedalSession::uploadEnded, this, &MainWindow::uploadEnded);
    connect(ui->pbPath, &QPushButton::clicked, this, &MainWindow::onShowPath);
    connect(ui->pbUpgrade, &QPushButton::clicked, this, &MainWindow::onUpgrade);
    connect(ui->pbAutoUpgrade, &QPushButton::clicked, this, &MainWindow::onAutoUpgrade);
    connect(ui->pbClearFlash, &QPushButton::clicked, this, &MainWindow::onClearFlash);
    connect(&profiles, &ProfileStore::curveChosen, this,
            [this](int axis, const QByteArray& points) {
                VexoAxis* const curves[] = {ui->ctAdc0, ui->ctAdc1, ui->ctAdc2};
                curves[axis]->setPoints(points);
            });
    connect(&pedalSet.reader(), &VexoEvent::eventTrigger, this, &MainWindow::onJoystickEvent);
    connect(&pedalSet, &PedalSession::stateChanged, this, &MainWindow::showState);
    connect(&pedalSet, &PedalSession::accessRefused, this, &MainWindow::showAccessHint);
    inputRefresh.setSingleShot(true);
    connect(&inputRefresh, &QTimer::timeout, this, &MainWindow::showInputs);

    // Each tag's place in the form is its 0 % home.
    for (VexoSlider* lower : {ui->lbDzL0, ui->lbDzL1, ui->lbDzL2})
        lower->setSide(0);
    for (VexoSlider* upper : {ui->lbDzR0, ui->lbDzR1, ui->lbDzR2})
        upper->setSide(1);

    ui->stackedWidget->setCurrentIndex(4);
    resetUpgradePage();
    connect(ui->pbGamesRules, &QPushButton::clicked, this, &MainWindow::onGamesRules);
    connect(&gameWatcher, &GameWatcher::switched, this,
            [](const QString& text) { qDebug().noquote() << text; });
    // A broken file is said when the user opens the rules; until then nothing switches. A
    // change made meanwhile (--add-game, an editor) is followed.
    const auto readRules = [this] {
        const GameRules::File rules = GameRules::load(gameRulesPath());
        if (rules.error.isEmpty())
            followGameRules(rules);
        else
            qWarning().noquote() << rules.error;
        if (QFileInfo::exists(gameRulesPath()))
            rulesFile.addPath(gameRulesPath());
    };
    QDir().mkpath(QFileInfo(gameRulesPath()).absolutePath()); // rules added later are seen too
    rulesFile.addPath(QFileInfo(gameRulesPath()).absolutePath());
    connect(&rulesFile, &QFileSystemWatcher::fileChanged, this, readRules);
    connect(&rulesFile, &QFileSystemWatcher::directoryChanged, this, readRules);
    readRules();
    // The first attempt runs once the window is shown.
    pedalSet.start();
}

MainWindow::~MainWindow() {
    // The session, destroyed after the form, lets a running upload finish first.
    delete ui;
}

void MainWindow::onInit() {
    pedalSet.reconnect();
}

void MainWindow::showState(PedalSession::State state) {
    // A run in progress was abandoned with the connection.
    showCalibration();
    // The input device comes and goes with the pedal set; an attempt that changes nothing
    // (one every 3 s while waiting) does not look again.
    if (state != checkedState) {
        checkedState = state;
        showGameInput();
        // udev may not have finished with a pedal set just plugged in.
        if (gameInput.verdict == GameInput::Verdict::Unclassified)
            QTimer::singleShot(UDEV_SETTLE_MS, this, &MainWindow::showGameInput);
    }
    if (state != PedalSession::State::Connected) {
        showWaiting();
        return;
    }
    showConnected();
}

void MainWindow::showConnected() {
    ui->lbVersion->setText(tr("Firmware Version:") + pedalSet.firmwareVersion());
    ui->lbVersion->show();
    updateClutchView();
    showProfiles();
    showDeadzones();
    ui->pbStatus->hide();
    ui->lbHead->setText(tr("VEXO PX7"));
    ui->lbHead->setCursor(Qt::ArrowCursor);
    for (QPushButton* page : {ui->pbS1, ui->pbS2, ui->pbS3, ui->pbS4})
        page->setEnabled(true);
    QTimer::singleShot(0, ui->pbS1, &QPushButton::click);
}

void MainWindow::showWaiting() {
    const bool refused = pedalSet.isRefused();
    ui->lbHead->setText(refused ? tr("NO ACCESS TO DEVICE") : tr("WAITING FOR DEVICE..."));
    ui->lbHead->setCursor(refused ? Qt::PointingHandCursor : Qt::ArrowCursor);
    for (QPushButton* page : {ui->pbS1, ui->pbS2, ui->pbS3, ui->pbS4})
        page->setEnabled(false);
    QTimer::singleShot(0, ui->pbS5, &QPushButton::click);
    ui->pbStatus->show();
    ui->lbVersion->hide();
}

void MainWindow::linkFailed() {
    pedalSet.linkFailed();
}

void MainWindow::onSidebar(int page) {
    QPushButton* const buttons[] = {ui->pbS1, ui->pbS2, ui->pbS3, ui->pbS4, ui->pbS5};
    for (QPushButton* button : buttons)
        button->setChecked(false);
    buttons[page]->setChecked(true);
    ui->stackedWidget->setCurrentIndex(page);
}

bool MainWindow::shutDown() {
    if (!pedalSet.close()) {
        refuseWhileBusy();
        return false;
    }
    return true;
}

void MainWindow::onClose() {
    if (shutDown())
        close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (shutDown())
        event->accept();
    else
        event->ignore();
}

void MainWindow::notify(const QString& text) {
    dialogs->tell(this, UserDialogs::Kind::Information, tr("Notify"), text);
}

void MainWindow::showError(const QString& text) {
    dialogs->tell(this, UserDialogs::Kind::Critical, tr("Error"), text);
}

void MainWindow::showAccessHint() {
    if (!pedalSet.isRefused())
        return;
    const bool canInstall = ruleInstaller->isAvailable();
    const QString text = DeviceAccess::hint(DeviceAccess::THIS_PLATFORM, canInstall);
    if (!canInstall) {
        notify(text);
        return;
    }
    // Access may have come while the question was up.
    if (dialogs->ask(this, tr("Notify"), text, false) && pedalSet.isRefused() && !installing) {
        installing = AccessRuleInstaller::Rule;
        ruleInstaller->start(installing);
    }
}

void MainWindow::accessRuleInstalled(bool installed, const QString& reason) {
    const bool markAsked =
        installing & (AccessRuleInstaller::JoystickMark | AccessRuleInstaller::ApplyMark);
    installing = {};
    // Installed, the rule lets the next attempt open the pedal set.
    if (!markAsked) {
        if (!installed)
            showError(tr("The udev rule was not installed.") + QLatin1Char('\n') + reason);
        return;
    }
    // udev has applied the mark by now: the line says what games get.
    showGameInput();
    // A game or Steam already running looked for joysticks when it started.
    if (installed)
        notify(tr("The joystick mark is installed.") + QLatin1Char('\n') + ui->pbGames->text() +
               QLatin1Char('\n') + tr("Restart games and Steam if they are running."));
    else
        showError(tr("The joystick mark was not installed.") + QLatin1Char('\n') + reason);
}

void MainWindow::showGameInput() {
    gameInput = GameInput::check();
    ui->pbGames->setText(GameInput::line(gameInput));
    // Without a pedal set the head already says so.
    ui->pbGames->setVisible(gameInput.verdict != GameInput::Verdict::NotApplicable &&
                            !(gameInput.verdict == GameInput::Verdict::Missing &&
                              pedalSet.state() == PedalSession::State::Waiting));
}

void MainWindow::onGames() {
    showGameInput(); // as it is now, marked by hand meanwhile or not
    const bool canFix =
        GameInput::fixMayHelp(gameInput) && ruleInstaller->isAvailable() && !installing;
    const QString text = GameInput::explanation(gameInput, canFix);
    if (!canFix) {
        notify(text);
        return;
    }
    // A pedal set this user may not open gets the rule too.
    if (dialogs->ask(this, tr("Notify"), text, false) && !installing) {
        installing = gameInput.installedMark.isEmpty() ? AccessRuleInstaller::JoystickMark
                                                       : AccessRuleInstaller::ApplyMark;
        if (pedalSet.isRefused())
            installing |= AccessRuleInstaller::Rule;
        ruleInstaller->start(installing);
    }
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    pressPoint = event->position();
    if (std::round(event->position().y()) < DRAG_BAND_HEIGHT)
        dragOrigin = event->globalPosition();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    if (dragOrigin.x() < 0 || dragOrigin.y() < 0)
        return;
    const QPointF global = event->globalPosition();
    const int dx = int(global.x() - dragOrigin.x());
    const int dy = int(global.y() - dragOrigin.y());
    dragOrigin = global;
    move(x() + dx, y() + dy);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    dragOrigin = NO_DRAG;
    // The head names what stands in the way; a click on it explains.
    const bool click = (event->position() - pressPoint).manhattanLength() < CLICK_SLOP;
    if (event->button() == Qt::LeftButton && click &&
        ui->lbHead->rect().contains(ui->lbHead->mapFrom(this, event->position().toPoint())))
        showAccessHint();
}
