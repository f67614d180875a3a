// Reads the pedal set's input reports while a device is open and hands each one to the
// GUI thread; notices when the device stops answering. It waits in the read itself, so a
// report is taken the moment it arrives and a resting pedal set costs next to nothing.
#pragma once

#include <QByteArray>
#include <QThread>

#include <atomic>

class VexoEvent : public QThread {
    Q_OBJECT
public:
    explicit VexoEvent(QObject* parent = nullptr);
    ~VexoEvent() override;

    // How long one read waits for input. A stop request is seen within it; an idle pedal
    // set costs one wake-up per wait.
    static constexpr int DEFAULT_READ_TIMEOUT_MS = 80;
    int readTimeoutMs = DEFAULT_READ_TIMEOUT_MS;

signals:
    // Three little-endian u16 raw values: clutch, brake, throttle.
    void eventTrigger(QByteArray sample);
    void deviceDisconnect();

protected:
    void run() override;

private:
    // Set as run() returns. ThreadSanitizer cannot see QThread::wait (Qt is not built with
    // it); reading this in the destructor shows it that run() is over before the object goes.
    std::atomic<bool> runEnded{false};
};
