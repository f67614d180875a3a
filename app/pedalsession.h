// The pedal set as this process has it: the one owner of its handle, its input reader, the
// connection attempts and what the device holds (settings, profiles, calibration, firmware).
//
// The window shows its state and passes the user's input to it; the command line runs a
// command through it. It also decides who may talk to the device now: while a firmware
// transfer, an import, a clearing or a profile save is under way (a question about one of
// them included), nothing else is sent. A lock file keeps a second process away from the
// pedal set while this one talks to it.
#pragma once

#include "device/deviceaccess.h"
#include "device/vexoevent.h"
#include "firmware/firmwareupdate.h"
#include "inputs/calibrationrun.h"
#include "inputs/pedalsettings.h"
#include "profiles/profilebackups.h"
#include "profiles/profilecommand.h"
#include "profiles/profilestore.h"

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class PedalSession : public QObject {
    Q_OBJECT
public:
    struct Options {
        // Between connection attempts while no pedal set answers.
        int retryIntervalMs = 3000;
        // How long the input reader waits in one read; a close waits for it.
        int readTimeoutMs = VexoEvent::DEFAULT_READ_TIMEOUT_MS;
        // Each of the four steps the device takes to write a firmware image into its flash.
        int firmwareWritingStepMs = 1000;
        // Where version.json and the images are.
        QString updateBaseUrl;
        // The lock that keeps other processes off the pedal set; none when empty. Taken at
        // the first connection attempt that finds it free, kept until the session ends.
        QString lockPath;
    };

    enum class State { Waiting, NoAccess, Connected };
    // What keeps the pedal set busy. Upload lasts from the question about a firmware file
    // until the transfer thread has ended.
    enum class Work { None, Upload, Import, Clearing, Saving };

    explicit PedalSession(const Options& options, QObject* parent = nullptr);
    // Lets a running upload finish (the device must not be left with half an image), then
    // closes the pedal set.
    ~PedalSession() override;

    State state() const { return current; }
    // Connected, with no attempt pending after a failed report: its replies can be trusted.
    bool isConnected() const;
    // A handle is open, trusted or not: what is sent now reaches the device.
    bool isOpen() const;
    // Milliseconds until the next connection attempt; -1 when none is pending.
    int nextAttemptMs() const { return retryTimer.isActive() ? retryTimer.interval() : -1; }
    bool isRefused() const { return access.isRefused(); }
    // As the connected device sent it.
    const QString& firmwareVersion() const { return version; }

    PedalSettings& settings() { return pedalSettings; }
    const PedalSettings& settings() const { return pedalSettings; }
    ProfileStore& profiles() { return store; }
    const ProfileStore& profiles() const { return store; }
    CalibrationRun& calibration() { return calibrationRun; }
    const CalibrationRun& calibration() const { return calibrationRun; }
    FirmwareUpdate& firmware() { return update; }
    const FirmwareUpdate& firmware() const { return update; }
    const VexoEvent& reader() const { return eventThread; }

    // The first connection attempt, on the next turn of the event loop.
    void start();
    // One connection attempt now: closes what is open, opens the pedal set and loads what
    // it holds. While an upload runs, the attempt waits for its end.
    void reconnect();
    // A report failed: nothing more is decided from the device's replies, and the session
    // connects again, which reads everything anew (or waits, when the device is gone).
    void linkFailed();
    // After the device went back to its factory state: the profiles, the clutch mode and
    // the deadzones read again. False (and a reconnect) when a reply did not arrive.
    bool reload();
    // An input report from the reader: tracked for the calibration. Empty for one too
    // short for the three values.
    std::optional<Protocol::AxisValues> takeInput(const QByteArray& sample);
    // The end of the session: the lists' choice becomes the one the device keeps, and the
    // pedal set is closed for good. False, with nothing done, while the pedal set is busy.
    bool close();
    // Sends the command that erases every setting the device keeps in its flash; true when
    // it went out. The caller reloads what the device holds afterwards.
    bool clearFlash();

    Work busyWith() const;
    // Holds the pedal set for one piece of work while it lives; taken only when nothing
    // else holds it (test with operator bool).
    class Job {
    public:
        Job(PedalSession& session, Work work);
        ~Job();
        Job(const Job&) = delete;
        Job& operator=(const Job&) = delete;
        explicit operator bool() const { return taken; }
        // The work with the pedal set is done; what follows (a message) holds nothing up.
        void release();

    private:
        PedalSession& owner;
        bool taken = false;
    };

    // A command from another process, on this session's loaded profiles. The caller has
    // made sure the pedal set is neither busy nor waiting.
    CommandResult runCommand(const ProfileCommand& command, const ProfileBackups& backups);

    // A command with no window: takes the lock (waiting up to lockWaitMs for another
    // command that holds it), opens the pedal set, reads its profiles without previewing
    // anything, carries the command out and closes the pedal set again.
    static CommandResult runOnce(const ProfileCommand& command, const ProfileBackups& backups,
                                 const QString& lockPath, int lockWaitMs);

signals:
    void stateChanged(PedalSession::State state);
    // The pedal set is listed but may not be opened; once per plug-in, after the attempt.
    void accessRefused();
    // The firmware transfer thread has ended, and how.
    void uploadEnded(VexoUpgrade::Outcome outcome);

private:
    void closeDevice();
    void waitForDevice();
    void setState(State state);
    // Whether this process may talk to the pedal set; takes the lock when it is free.
    bool holdsLock();
    void transferEnded();
    // A connection attempt put off while the pedal set was busy runs now, if it is free.
    void attemptIfDeferred();

    Options options;
    State current = State::Waiting;
    Work work = Work::None;
    QString version;
    VexoEvent eventThread;
    PedalSettings pedalSettings;
    CalibrationRun calibrationRun;
    ProfileStore store;
    FirmwareUpdate update;
    // The next connection attempt; one pending at a time, whatever asked for it.
    QTimer retryTimer;
    DeviceAccess::RefusalWatch access;
    std::unique_ptr<QLockFile> processLock;
    // An attempt came while the pedal set was busy; it runs once the work has ended.
    bool attemptAfterWork = false;
    // Closed for good: no more attempts.
    bool ended = false;
};
