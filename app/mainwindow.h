// The one window of the program. It shows what the pedal set holds and passes the user's
// input to the session that owns the pedal set and to the classes that own each feature's
// state and device traffic (PedalSettings, CalibrationRun, ProfileStore, ...); its slots
// decide nothing themselves. The slots of each page are defined in the page's own source
// file.
#pragma once

#include "app/accessruleinstaller.h"
#include "app/gamewatcher.h"
#include "app/pedalsession.h"
#include "app/userdialogs.h"
#include "device/gameinput.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <QTimer>

#include <array>
#include <optional>

namespace Ui {
class MainWindow;
}

// What the window takes from outside: tests answer its dialogs and shorten its waits.
struct WindowOptions {
    // Message boxes and file dialogs; the real ones when null. Not owned.
    UserDialogs* dialogs = nullptr;
    // Between connection attempts while no pedal set answers.
    int retryIntervalMs = 3000;
    // How long the input reader waits in one read; a close waits for it.
    int readTimeoutMs = VexoEvent::DEFAULT_READ_TIMEOUT_MS;
    // From a calibration's start until the device measures the full range.
    int calibrationSettleMs = 500;
    // Each of the four steps the device takes to write a firmware image into its flash.
    int firmwareWritingStepMs = 1000;
    // Where version.json and the images are; empty: the built-in update server.
    QString updateBaseUrl;
    // Where the profiles are backed up before they are erased; empty: the user's data folder.
    QString backupFolder;
    // Installs the udev rule when the pedal set may not be opened; the real one (pkexec)
    // when null. Not owned.
    AccessRuleInstaller* ruleInstaller = nullptr;
    // Keeps other processes off the pedal set while the window has it; none when empty.
    QString lockPath;
    // The rules per game; empty: games.ini in the user's configuration folder.
    QString gameRulesPath;
};

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    explicit MainWindow(const WindowOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The pedal set and the state behind the pages, for the benchmarks and tests that
    // watch it.
    const PedalSession& session() const { return pedalSet; }

    // A command given on the command line while the window runs: carried out on the
    // window's own profiles, which then show its result. Raise brings the window to the front.
    CommandResult runCommand(const ProfileCommand& command);

public slots:
    // A connection attempt now, as after a lost device.
    void onInit();
    void onClose();
    // One input report from the reader.
    void onJoystickEvent(QByteArray sample);
    // The calibration's settle time has passed.
    void onCalibrateWait();
    // The image download's progress.
    void onNetProgress(qint64 r, qint64 t);

private slots:
    void onSidebar(int page);
    void onDeadzoneChanged();
    void onProfileSave(int axis);
    void onProfileRemove(int axis);
    void onProfileChanged(int axis);
    void onProfileExport();
    void onProfileImport();
    // The rules per game, edited in a dialog and saved; the watcher follows them.
    void onGamesRules();
    void onCalibrateSave(int axis);
    void onClutch();
    void onClearFlash();
    void onShowPath();
    void onUpgrade();
    void onAutoUpgrade();
    void onUpgradeReady();
    void onNetUpgrade();
    void onNetUpgradeReady();
    void onProgress(int percent);
    // The pedal set is listed but may not be opened: what stands in the way, and the offer
    // to install the udev rule where pkexec can.
    void showAccessHint();
    void accessRuleInstalled(bool installed, const QString& reason);
    // The line on the ABOUT page was clicked: what games get, and the offer to install the
    // joystick mark where it may help.
    void onGames();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // A close from the window system ends the program as cleanly as the close button.
    void closeEvent(QCloseEvent* event) override;

private:
    // The session's state on the head, the sidebar and the pages.
    void showState(PedalSession::State state);
    void showWaiting();
    void showConnected();
    // Whether games see the pedals, on the ABOUT page.
    void showGameInput();
    // A report failed: the session connects again, which reads everything anew (or waits,
    // when the device is gone).
    void linkFailed();
    // Before the profiles are erased: true when they were backed up (lastBackup names the
    // file), or when the user goes on without a backup. spare is a file about to be
    // imported, which the backups' pruning leaves alone.
    bool backUpProfiles(const QString& spare = QString());
    // Whether the user wants the firmware file sent.
    bool confirmUpload(const QFileInfo& image);
    // A line naming a backup, to end the message of what erased the profiles.
    QString backupNote(const QString& backup) const;
    void notify(const QString& text);
    void showError(const QString& text);
    void showDeadzones();
    // Each input bar covers only the active part of its track.
    void fitInputBars();
    void updateClutchView();
    // The calibration buttons: "SAVE" on the axis being measured.
    void showCalibration();

    // The profile lists as the store holds them.
    void showProfiles();
    // Puts the newest axis values on the labels and bars.
    void showInputs();
    // False, after telling the user, while the pedal set is busy: the device must not be
    // left with half an image or half an import.
    bool shutDown();
    void resetUpgradePage();
    // The upload thread has ended; tells the user how, when progress has not.
    void uploadEnded(VexoUpgrade::Outcome outcome);
    // Tells the user that the pedal set is busy with another operation; the firmware
    // update's own notice while one is under way.
    void refuseWhileBusy();
    // What a forwarded command or a page action is told while the pedal set is busy.
    QString busyText() const;
    QString gameRulesPath() const;
    // Switching by running game while the window is open, as the rules say.
    void followGameRules(const GameRules::File& file);

    Ui::MainWindow* ui;
    WindowOptions options;
    QString lastBackup;   // empty until backUpProfiles() writes one
    QString uploadBackup; // the one taken before the running upload
    WidgetDialogs widgetDialogs;
    UserDialogs* dialogs;
    QPointF dragOrigin;
    // Where the left button went down: a click without a drag on the head shows the hint.
    QPointF pressPoint;
    PedalSession pedalSet;
    // What the pages show and change, as the session holds it.
    PedalSettings& settings;
    CalibrationRun& calibrationRun;
    ProfileStore& profiles;
    FirmwareUpdate& firmware;
    ProfileBackups backups;
    // The pedals send up to 8,000 samples a second; each one is tracked, but the labels
    // and bars are refreshed at most once per frame, with the newest values.
    Protocol::AxisValues newestInputs{};
    QTimer inputRefresh;
    QElapsedTimer inputsShown;

    AccessRuleInstaller ownRuleInstaller;
    AccessRuleInstaller* ruleInstaller;
    // What the running installation was asked for; none when none runs.
    AccessRuleInstaller::Fixes installing;
    GameInput::Diagnosis gameInput;
    GameWatcher gameWatcher;
    QFileSystemWatcher rulesFile;
    // The session state the line was last checked in.
    std::optional<PedalSession::State> checkedState;
};
