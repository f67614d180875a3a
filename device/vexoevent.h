// Reads the pedal set's input reports while a device is open and hands each one to the
// GUI thread; notices when the device stops answering.
#pragma once

#include <QByteArray>
#include <QThread>

class VexoEvent : public QThread {
    Q_OBJECT
public:
    explicit VexoEvent(QObject* parent = nullptr);

signals:
    // Three little-endian u16 raw values: clutch, brake, throttle.
    void eventTrigger(QByteArray sample);
    void deviceDisconnect();

protected:
    void run() override;
};
