#include "app/pedalsession.h"

#include "device/devicehandle.h"
#include "device/devicelink.h"

#include <QDebug>
#include <QScopeGuard>

#include <hidapi.h>

PedalSession::PedalSession(const Options& sessionOptions, QObject* parent)
    : QObject(parent)
    , options(sessionOptions)
    , update(this) {
    hid_init();
    update.uploadThread().writingStepMs = options.firmwareWritingStepMs;
    eventThread.readTimeoutMs = options.readTimeoutMs;
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &PedalSession::reconnect);
    connect(&eventThread, &VexoEvent::deviceDisconnect, this, &PedalSession::reconnect);
    // Queued like the progress, so it arrives after the thread's last value.
    connect(&update.uploadThread(), &QThread::finished, this, &PedalSession::transferEnded);
}

PedalSession::~PedalSession() {
    update.uploadThread().wait();
    closeDevice();
}

bool PedalSession::isConnected() const {
    return current == State::Connected && !retryTimer.isActive() && DeviceHandle::isOpen();
}

bool PedalSession::isOpen() const {
    return DeviceHandle::isOpen();
}

void PedalSession::start() {
    retryTimer.start(0);
}

void PedalSession::reconnect() {
    // This attempt is the one pending, whoever asked for it.
    retryTimer.stop();
    if (ended)
        return;
    // Nothing is read from a device, this one or a new one, between a question and what it
    // asks about: the attempt waits for the work's end.
    if (work != Work::None) {
        attemptAfterWork = true;
        return;
    }
    store.markIncomplete();
    closeDevice();
    // The closed handle ends a running upload at its next report. Reopened now, the rest
    // of the image could reach the device without its beginning: connect once it has ended.
    if (update.uploadThread().isRunning()) {
        attemptAfterWork = true;
        setState(access.isRefused() ? State::NoAccess : State::Waiting);
        return;
    }
    // A run in progress is abandoned; the device was reconnected.
    calibrationRun.abandon();

    if (!holdsLock()) {
        qDebug("The pedal set is in use by another process; trying again later.");
        waitForDevice();
        return;
    }
    if (!DeviceHandle::open()) {
        const bool tell = access.record(DeviceHandle::isListed() ? DeviceAccess::Attempt::Refused
                                                                 : DeviceAccess::Attempt::Absent);
        waitForDevice();
        // Once per plug-in, after this attempt has ended.
        if (tell)
            QTimer::singleShot(0, this, &PedalSession::accessRefused);
        return;
    }
    access.record(DeviceAccess::Attempt::Opened);
    eventThread.start();

    bool versionRead = false;
    version = DeviceLink::readVersion(&versionRead);
    update.setDeviceVersion(version);
    // A device that leaves a query unanswered is not connected: the pages would show, and
    // later writes would start from, values it never sent.
    if (!versionRead || !pedalSettings.readClutchMode() || !store.load() ||
        !pedalSettings.loadDeadzones()) {
        closeDevice();
        waitForDevice();
        return;
    }
    update.setServer(options.updateBaseUrl);
    setState(State::Connected);
}

bool PedalSession::reload() {
    // The profiles first: they are what a clearing is about.
    if (store.load() && pedalSettings.readClutchMode() && pedalSettings.loadDeadzones())
        return true;
    linkFailed();
    return false;
}

void PedalSession::linkFailed() {
    store.markIncomplete();
    retryTimer.start(0);
}

void PedalSession::waitForDevice() {
    setState(access.isRefused() ? State::NoAccess : State::Waiting);
    retryTimer.start(options.retryIntervalMs);
}

void PedalSession::setState(State state) {
    current = state;
    emit stateChanged(state);
}

bool PedalSession::holdsLock() {
    if (options.lockPath.isEmpty())
        return true;
    if (processLock && processLock->isLocked())
        return true;
    processLock = std::make_unique<QLockFile>(options.lockPath);
    // Held for as long as the session runs: only a holder that has ended frees it.
    processLock->setStaleLockTime(0);
    if (processLock->tryLock(0))
        return true;
    if (processLock->error() == QLockFile::LockFailedError)
        return false;
    // A lock that cannot be made at all must not keep the user from the pedal set.
    qDebug().noquote()
        << QStringLiteral("Can not lock %1; going on without the lock.").arg(options.lockPath);
    options.lockPath.clear();
    return true;
}

void PedalSession::closeDevice() {
    // Asked to stop before the handle goes, the reader never mistakes this close for a
    // lost device; it ends within one poll.
    const bool reading = eventThread.isRunning();
    if (reading)
        eventThread.requestInterruption();
    DeviceHandle::close();
    if (reading)
        eventThread.wait();
}

std::optional<Protocol::AxisValues> PedalSession::takeInput(const QByteArray& sample) {
    if (sample.size() < Protocol::INPUT_SAMPLE_SIZE)
        return std::nullopt;
    const Protocol::AxisValues values = Protocol::decodeInputSample(sample);
    calibrationRun.track(values);
    return values;
}

bool PedalSession::close() {
    if (busyWith() != Work::None)
        return false;
    // The choice shown in the lists becomes the one the device keeps.
    if (DeviceHandle::isOpen())
        store.commitSelection();
    ended = true;
    retryTimer.stop();
    closeDevice();
    return true;
}

bool PedalSession::clearFlash() {
    return DeviceLink::wasSent(DeviceLink::sendSetting(Protocol::VEXIE_CLEAR_FLASH, 0, false));
}

void PedalSession::attemptIfDeferred() {
    if (!attemptAfterWork || busyWith() != Work::None)
        return;
    attemptAfterWork = false;
    retryTimer.start(0);
}

void PedalSession::transferEnded() {
    const VexoUpgrade::Outcome outcome = update.uploadEnded();
    attemptIfDeferred();
    emit uploadEnded(outcome);
}

PedalSession::Work PedalSession::busyWith() const {
    if (update.isUploading())
        return Work::Upload;
    return work;
}

PedalSession::Job::Job(PedalSession& session, Work work)
    : owner(session) {
    if (owner.busyWith() != Work::None)
        return;
    owner.work = work;
    taken = true;
}

PedalSession::Job::~Job() {
    release();
}

void PedalSession::Job::release() {
    if (!taken)
        return;
    taken = false;
    owner.work = Work::None;
    owner.attemptIfDeferred();
}

CommandResult PedalSession::runCommand(const ProfileCommand& command,
                                       const ProfileBackups& backups) {
    const Job job(*this,
                  command.action == ProfileCommand::Action::Import ? Work::Import : Work::Saving);
    const CommandResult result = ProfileCommands::run(command, store, version, backups);
    if (result.exitCode == ExitCode::PEDAL_SET_SILENT)
        linkFailed();
    return result;
}

CommandResult PedalSession::runOnce(const ProfileCommand& command, const ProfileBackups& backups,
                                    const QString& lockPath, int lockWaitMs) {
    if (const std::optional<CommandResult> refusal = ProfileCommands::unreadable(command))
        return *refusal;
    // Two commands at once would each read the selection and write back their own change,
    // and each take the other's replies for its own.
    QLockFile oneAtATime(lockPath);
    oneAtATime.setStaleLockTime(0);
    if (!lockPath.isEmpty() && !oneAtATime.tryLock(lockWaitMs)) {
        qint64 pid = 0;
        QString host, program;
        oneAtATime.getLockInfo(&pid, &host, &program);
        return ProfileCommands::inUse(program, pid);
    }
    hid_init();
    if (!DeviceHandle::open())
        return DeviceHandle::isListed() ? ProfileCommands::noAccess()
                                        : ProfileCommands::noPedalSet();
    const auto closed = qScopeGuard([] { DeviceHandle::close(); });
    bool versionRead = false;
    const QString version = DeviceLink::readVersion(&versionRead);
    ProfileStore store;
    store.setPreviews(false);
    if (!versionRead || !store.load())
        return ProfileCommands::silent();
    return ProfileCommands::run(command, store, version, backups);
}
