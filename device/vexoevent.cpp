#include "device/vexoevent.h"

#include "device/devicehandle.h"
#include "device/protocol.h"

#include <QDebug>
#include <QElapsedTimer>

#include <hidapi.h>

VexoEvent::VexoEvent(QObject* parent)
    : QThread(parent) {}

void VexoEvent::run() {
    // An idle pedal set costs about 100 polls a second.
    constexpr unsigned long EMPTY_POLL_SLEEP_MS = 10;
    // While the pedals stream (1,000 to 8,000 reports a second) the host keeps only 64
    // reports between reads and drops the oldest beyond that, and every millisecond a report
    // waits is lag on the screen: so until the stream has been quiet a while, an empty
    // poll sleeps one millisecond.
    constexpr unsigned long STREAM_POLL_SLEEP_US = 1000;
    constexpr qint64 STREAM_QUIET_MS = 100;
    constexpr int NO_DEVICE = -2;

    QElapsedTimer sinceReport;

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
            if (sinceReport.isValid() && sinceReport.elapsed() < STREAM_QUIET_MS)
                QThread::usleep(STREAM_POLL_SLEEP_US);
            else
                QThread::msleep(EMPTY_POLL_SLEEP_MS);
            continue;
        }
        sinceReport.start();
        emit eventTrigger(Protocol::inputSample(buffer));
    }

    DeviceHandle::close();
    if (!isInterruptionRequested())
        emit deviceDisconnect();
    qDebug("joystick event thread done.");
}
