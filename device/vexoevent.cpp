#include "device/vexoevent.h"

#include "device/devicehandle.h"
#include "device/protocol.h"

#include <QDebug>

#include <hidapi.h>

VexoEvent::VexoEvent(QObject* parent)
    : QThread(parent) {}

void VexoEvent::run() {
    constexpr unsigned long EMPTY_POLL_SLEEP_MS = 10;
    constexpr int NO_DEVICE = -2;

    quint8 buffer[Protocol::INPUT_REPORT_SIZE] = {};

    DeviceHandle::use([](hid_device* handle) {
        if (handle)
            hid_set_nonblocking(handle, 1);
    });

    for (;;) {
        if (isInterruptionRequested())
            break;
        // The lock is held only for one non-blocking read, never across the sleep.
        const int n = DeviceHandle::use([&](hid_device* handle) {
            return handle ? hid_read(handle, buffer, sizeof buffer) : NO_DEVICE;
        });
        if (n == NO_DEVICE) {
            // Someone else closed the handle: only tell the window, unless it is the
            // window itself stopping this thread (it asks before it closes).
            if (!isInterruptionRequested())
                emit deviceDisconnect();
            return;
        }
        if (n < 0)
            break;
        if (n == 0) {
            QThread::msleep(EMPTY_POLL_SLEEP_MS);
            continue;
        }
        emit eventTrigger(Protocol::inputSample(buffer));
    }

    DeviceHandle::close();
    if (!isInterruptionRequested())
        emit deviceDisconnect();
    qDebug("joystick event thread done.");
}
