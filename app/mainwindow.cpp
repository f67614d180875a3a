#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "device/devicehandle.h"
#include "device/devicelink.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmapCache>
#include <QTimer>

#include <hidapi.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr int DRAG_BAND_HEIGHT = 50;
// A press and release this close together is a click, not a drag.
constexpr qreal CLICK_SLOP = 4;
const QPointF NO_DRAG(-1, -1);
// One page picture (the one the clutch mode shows) and the smaller ones.
constexpr int PIXMAP_CACHE_KB = 20 * 1024;
} // namespace

MainWindow::MainWindow(QWidget* parent)
    : MainWindow(WindowOptions(), parent) {}

MainWindow::MainWindow(const WindowOptions& windowOptions, QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , options(windowOptions)
    , dialogs(windowOptions.dialogs ? windowOptions.dialogs : &widgetDialogs)
    , dragOrigin(NO_DRAG)
    , firmware(this) {
    ruleInstaller = options.ruleInstaller ? options.ruleInstaller : &ownRuleInstaller;
    connect(ruleInstaller, &AccessRuleInstaller::finished, this, &MainWindow::accessRuleInstalled);
    if (!options.backupFolder.isEmpty())
        backups = ProfileBackups(options.backupFolder);
    if (options.updateBaseUrl.isEmpty())
        options.updateBaseUrl = QStringLiteral(VEXO_UPDATE_BASE_URL) + QStringLiteral("pedal/");
    firmware.uploadThread().writingStepMs = options.firmwareWritingStepMs;
    eventThread.readTimeoutMs = options.readTimeoutMs;
    // The page pictures are 2303 x 1479 (13 MB each decoded), beyond Qt's default pixmap
    // cache; uncached, every label showing one decodes its own copy at every style change.
    QPixmapCache::setCacheLimit(std::max(QPixmapCache::cacheLimit(), PIXMAP_CACHE_KB));
    ui->setupUi(this);
    connect(ui->pbStatus, &QPushButton::clicked, this, &MainWindow::showAccessHint);
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
    for (QPushButton* page : {ui->pbS1, ui->pbS2, ui->pbS3, ui->pbS4, ui->pbS5})
        connect(page, &QPushButton::clicked, this, &MainWindow::onSidebar);
    for (QPushButton* calibrate : {ui->pbSave0, ui->pbSave1, ui->pbSave2})
        connect(calibrate, &QPushButton::clicked, this, &MainWindow::onCalibrateSave);
    connect(ui->cbClutch, &QCheckBox::clicked, this, &MainWindow::onClutch);
    for (QPushButton* save : {ui->pbSavePro0, ui->pbSavePro1, ui->pbSavePro2})
        connect(save, &QPushButton::clicked, this, &MainWindow::onProfileSave);
    for (QPushButton* remove : {ui->pbDelPro0, ui->pbDelPro1, ui->pbDelPro2})
        connect(remove, &QPushButton::clicked, this, &MainWindow::onProfileRemove);
    connect(ui->pbImport, &QPushButton::clicked, this, &MainWindow::onProfileImport);
    connect(ui->pbExport, &QPushButton::clicked, this, &MainWindow::onProfileExport);
    for (QComboBox* profiles : {ui->cbPro0, ui->cbPro1, ui->cbPro2})
        connect(profiles, &QComboBox::currentIndexChanged, this, &MainWindow::onProfileChanged);
    for (VexoSlider* tag : {ui->lbDzL0, ui->lbDzR0, ui->lbDzL1, ui->lbDzR1, ui->lbDzL2, ui->lbDzR2})
        connect(tag, &VexoSlider::valueChanged, this, &MainWindow::onDeadzoneChanged);
    connect(&firmware.uploadThread(), &VexoUpgrade::progress, this, &MainWindow::onProgress);
    // Queued like progress, so it arrives after the thread's last value.
    connect(&firmware.uploadThread(), &QThread::finished, this, &MainWindow::uploadEnded);
    connect(ui->pbPath, &QPushButton::clicked, this, &MainWindow::onShowPath);
    connect(ui->pbUpgrade, &QPushButton::clicked, this, &MainWindow::onUpgrade);
    connect(ui->pbAutoUpgrade, &QPushButton::clicked, this, &MainWindow::onAutoUpgrade);
    connect(ui->pbClearFlash, &QPushButton::clicked, this, &MainWindow::onClearFlash);
    connect(&profiles, &ProfileStore::curveChosen, this,
            [this](int axis, const QByteArray& points) {
                VexoAxis* const curves[] = {ui->ctAdc0, ui->ctAdc1, ui->ctAdc2};
                curves[axis]->setPoints(points);
            });
    connect(&eventThread, &VexoEvent::eventTrigger, this, &MainWindow::onJoystickEvent);
    connect(&eventThread, &VexoEvent::deviceDisconnect, this, &MainWindow::onInit);
    inputRefresh.setSingleShot(true);
    connect(&inputRefresh, &QTimer::timeout, this, &MainWindow::showInputs);
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &MainWindow::onInit);

    // Each tag's place in the form is its 0 % home.
    for (VexoSlider* lower : {ui->lbDzL0, ui->lbDzL1, ui->lbDzL2})
        lower->setSide(0);
    for (VexoSlider* upper : {ui->lbDzR0, ui->lbDzR1, ui->lbDzR2})
        upper->setSide(1);

    hid_init();
    ui->stackedWidget->setCurrentIndex(4);
    resetUpgradePage();
    // The first attempt runs once the window is shown.
    QTimer::singleShot(0, this, &MainWindow::onInit);
}

MainWindow::~MainWindow() {
    // A window destroyed without a close still lets a running upload finish: the device
    // must not be left with half an image.
    firmware.uploadThread().wait();
    closeDevice();
    delete ui;
}

void MainWindow::onInit() {
    // This attempt is the one pending, whoever asked for it.
    retryTimer.stop();
    profiles.markIncomplete();
    closeDevice();
    // The closed handle ends a running upload at its next report. Reopened now, the rest
    // of the image could reach the device without its beginning: connect once it has ended.
    if (firmware.uploadThread().isRunning()) {
        reconnectAfterUpload = true;
        showWaiting();
        return;
    }

    // A run in progress is abandoned; the device was reconnected.
    calibrationRun.abandon();
    showCalibration();

    if (!DeviceHandle::open()) {
        const bool tell = access.record(DeviceHandle::isListed() ? DeviceAccess::Attempt::Refused
                                                                 : DeviceAccess::Attempt::Absent);
        waitForDevice();
        // Once per plug-in, after this attempt has ended.
        if (tell)
            QTimer::singleShot(0, this, &MainWindow::showAccessHint);
        return;
    }
    access.record(DeviceAccess::Attempt::Opened);
    eventThread.start();

    bool versionRead = false;
    bool modeRead = false;
    firmwareVersion = DeviceLink::readVersion(&versionRead);
    firmware.setDeviceVersion(firmwareVersion);
    ui->lbVersion->setText(tr("Firmware Version:") + firmwareVersion);
    ui->lbVersion->show();
    modeRead = settings.readClutchMode();
    updateClutchView();
    // A device that leaves a query unanswered is not connected: the pages would show, and
    // later writes would start from, values it never sent.
    if (!versionRead || !modeRead || !loadProfiles() || !loadDeadzones()) {
        closeDevice();
        waitForDevice();
        return;
    }

    ui->pbStatus->hide();
    ui->lbHead->setText(tr("VEXO PX7"));
    firmware.setServer(options.updateBaseUrl);
    for (QPushButton* page : {ui->pbS1, ui->pbS2, ui->pbS3, ui->pbS4})
        page->setEnabled(true);
    QTimer::singleShot(0, ui->pbS1, &QPushButton::click);
}

void MainWindow::showWaiting() {
    const bool refused = access.isRefused();
    ui->lbHead->setText(refused ? tr("NO ACCESS TO DEVICE") : tr("WAITING FOR DEVICE..."));
    ui->lbHead->setCursor(refused ? Qt::PointingHandCursor : Qt::ArrowCursor);
    for (QPushButton* page : {ui->pbS1, ui->pbS2, ui->pbS3, ui->pbS4})
        page->setEnabled(false);
    QTimer::singleShot(0, ui->pbS5, &QPushButton::click);
    ui->pbStatus->show();
    ui->lbVersion->hide();
}

void MainWindow::waitForDevice() {
    showWaiting();
    retryTimer.start(options.retryIntervalMs);
}

void MainWindow::linkFailed() {
    profiles.markIncomplete();
    retryTimer.start(0);
}

void MainWindow::onSidebar() {
    QPushButton* const buttons[] = {ui->pbS1, ui->pbS2, ui->pbS3, ui->pbS4, ui->pbS5};
    for (QPushButton* button : buttons)
        button->setChecked(false);

    const QString name = sender() ? sender()->objectName() : QString();
    const char digit = name.size() > 3 ? name.at(3).toLatin1() : '\0';
    if (digit < '1' || digit > '5')
        return;
    const int page = digit - '1';
    buttons[page]->setChecked(true);
    ui->stackedWidget->setCurrentIndex(page);
}

void MainWindow::closeDevice() {
    // Asked to stop before the handle goes, the reader never mistakes this close for a
    // lost device; it ends within one poll.
    const bool reading = eventThread.isRunning();
    if (reading)
        eventThread.requestInterruption();
    DeviceHandle::close();
    if (reading)
        eventThread.wait();
}

bool MainWindow::shutDown() {
    if (firmware.isUploading()) {
        refuseWhileBusy();
        return false;
    }
    // The choice shown in the lists becomes the one the device keeps.
    if (DeviceHandle::isOpen())
        profiles.commitSelection();
    closeDevice();
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
    if (!access.isRefused())
        return;
    const bool canInstall = ruleInstaller->isAvailable();
    const QString text = DeviceAccess::hint(DeviceAccess::THIS_PLATFORM, canInstall);
    if (!canInstall) {
        notify(text);
        return;
    }
    // Access may have come while the question was up.
    if (dialogs->ask(this, tr("Notify"), text, false) && access.isRefused())
        ruleInstaller->start();
}

void MainWindow::accessRuleInstalled(bool installed, const QString& reason) {
    // Installed, the rule lets the next attempt open the pedal set.
    if (!installed)
        showError(tr("The udev rule was not installed.") + QLatin1Char('\n') + reason);
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
