// The one window of the program. Every feature slot belongs to this class; the slots of
// each feature are defined in the source files of its folder (inputs/, profiles/, firmware/).
#pragma once

#include "device/protocol.h"
#include "device/vexoevent.h"
#include "firmware/vexoupgrade.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QNetworkAccessManager>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>

class QComboBox;

namespace Ui {
class MainWindow;
}

class QNetworkReply;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

private slots:
    void onSidebar();
    void onInit();
    void onClose();
    void onJoystickEvent(QByteArray sample);
    void onDeadzoneChanged();
    void onProfileSave();
    void onProfileRemove();
    void onProfileChanged();
    void onProfileExport();
    void onProfileImport();
    void onCalibrateSave();
    void onCalibrateWait();
    void onClutch();
    void onClearFlash();
    void onShowPath();
    void onUpgrade();
    void onAutoUpgrade();
    void onUpgradeReady();
    void onNetUpgrade();
    void onNetProgress(qint64 r, qint64 t);
    void onNetUpgradeReady();
    void onProgress(int percent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // A close from the window system ends the program as cleanly as the close button.
    void closeEvent(QCloseEvent* event) override;

private:
    void showWaiting();
    // Shows the waiting page and tries again after the retry interval.
    void waitForDevice();
    // A report failed: nothing more is decided from the device's replies, and the window
    // connects again, which reads everything anew (or waits, when the device is gone).
    void linkFailed();
    // False when a reply did not arrive; the tags then keep what they showed.
    bool loadDeadzones();
    // Each input bar covers only the active part of its track.
    void fitInputBars();
    bool clutchEnabled() const;
    void updateClutchView();

    // Device profiles: the combo boxes cbPro0..2 list the profiles of axis ids 1..3, each
    // entry carrying its 7-byte record as item data.
    // False when a reply did not arrive; the lists are then incomplete.
    bool loadProfiles();
    // NO_FREE_SLOT when every slot is taken, SLOT_UNKNOWN when a reply did not arrive.
    static constexpr int NO_FREE_SLOT = -1;
    static constexpr int SLOT_UNKNOWN = -2;
    int findFreeSlot();
    quint32 packProfileSelection(bool marked) const;
    void applyProfileSelection(quint32 selection);
    void sendProfileSelection();
    void commitProfileSelection();
    // False when a report did not arrive.
    bool writeProfile(int slot, const QString& name, const QByteArray& record);
    bool clearProfile(int slot);
    void selectProfileBySlot(QComboBox* list, int slot);
    void selectProfileByName(QComboBox* list, const QString& name);
    bool findProfileBySlot(int slot, QString& name, QByteArray& record) const;
    // Puts the newest axis values on the labels and bars.
    void showInputs();
    // Closes the device handle and ends the reader, which takes the close for a stop.
    void closeDevice();
    // False, after telling the user, while a firmware upload runs: the device must
    // not be left with half an image.
    bool shutDown();
    void resetUpgradePage();
    // The upload thread has ended; tells the user when it ended without a word.
    void uploadEnded();
    // Tells the user that another firmware operation is still under way.
    void refuseWhileBusy();
    // A download that grows past what an image can hold is aborted.
    void watchImageSize();
    void stopOversizedDownload();

    Ui::MainWindow* ui;
    QPointF dragOrigin;
    VexoEvent eventThread;
    VexoUpgrade upgradeThread;
    // Indexes into calRange, and value positions in the blocks, of the axis being calibrated.
    int calLowIndex = 0;
    int calHighIndex = 1;
    // Lowest and highest raw value per axis since its last calibration reset.
    std::array<quint16, 6> calRange{65535, 0, 65535, 0, 65535, 0};
    QNetworkAccessManager networkManager;
    QString updateBaseUrl;
    // The pedals send up to 8,000 samples a second; each one is tracked, but the labels
    // and bars are refreshed at most once per frame, with the newest values.
    Protocol::AxisValues newestInputs{};
    QTimer inputRefresh;
    QElapsedTimer inputsShown;

    // One firmware operation at a time, from the check or the manual start until the
    // upload thread has ended.
    enum class UpdateStage {
        Idle,
        Checking,    // version.json requested, offer shown, or a download scheduled
        Downloading, // imageReply running
        HandingOver, // image stored, onUpgrade scheduled
        Uploading,   // upgradeThread started, its end not yet handled
    };
    UpdateStage updateStage = UpdateStage::Idle;
    QPointer<QNetworkReply> imageReply;
    // The download passed the firmware limit and was aborted.
    bool imageTooLarge = false;
    // The lists hold every stored profile and the device's kept choice: only then may
    // their choice be written as the one the device keeps.
    bool profilesComplete = false;
    // The next connection attempt; one pending at a time, whatever asked for it.
    QTimer retryTimer;
    // The device was lost during an upload; the next attempt waits for the upload's end.
    bool reconnectAfterUpload = false;

    friend class MainWindowTest;
};
